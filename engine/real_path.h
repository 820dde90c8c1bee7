#pragma once
// Real paths: where a path leads once its symbolic links are resolved, and whether one
// place lies inside another. The run, the file set and the backups use them to keep writes
// inside the places the user chose.

#include <string>
#include <string_view>

// The file or folder a path names, symbolic links resolved; empty when it does not resolve.
std::string resolvedPath(const std::string& path);

// True when path is folder itself or lies below it (both resolved paths; a final "/" of
// folder does not matter). '/a/bc' is not within '/a/b'.
bool pathIsWithin(std::string_view path, std::string_view folder);
