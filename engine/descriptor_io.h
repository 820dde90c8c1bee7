#pragma once
// Whole reads and writes on a file descriptor, carried on across short transfers and
// interrupted calls.

#include <string>
#include <string_view>

// Writes every byte at the descriptor's position; false on an error.
bool writeAll(int fd, std::string_view bytes);
// Appends everything the descriptor reads from its position to its end to out; false on an
// error.
bool readAll(int fd, std::string& out);
