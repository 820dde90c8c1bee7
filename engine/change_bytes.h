#pragma once
// The bytes of a change as the file holds them: the new contents of a file made in memory,
// byte for byte as a writer would put them into the file, for showing a change (a dry
// run's too) at the level of bytes.

#include <functional>
#include <string>
#include <string_view>

#include "engine/text_file.h"

// Makes the contents that a writer in the "ansi" character set charset (empty: UTF-8)
// writes for format, its mark and then what body writes, into bytes
// (replacing what bytes held). False when no writer could be made.
bool contentsInMemory(TextFormat format, std::string_view charset, const std::function<void(TextFile&)>& body,
                      std::string& bytes);

// The number of bytes of the byte-order mark that writeMark writes for format.
size_t markLength(TextFormat format);
