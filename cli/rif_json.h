#pragma once
// rif's JSON Lines: one typed object per line, {"type": ..., "data": {...}}, as ripgrep's
// --json writes them.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// JSON objects that keep their keys in the order they are given ("type" before "data").
using JsonObject = nlohmann::ordered_json;

// One line of JSON Lines (without its line end): {"type": type, "data": data}.
std::string jsonLine(std::string_view type, const JsonObject& data);

// A path as JSON: the string itself when it is valid UTF-8, else {"bytes": its bytes in
// base64}, so that every file name comes through whole.
JsonObject jsonPath(const std::string& path);

// bytes in base64 (the standard alphabet, with padding).
std::string base64(std::string_view bytes);
