#pragma once
// The settings-file service: one grouped key/value file open at a time per thread, read
// into memory on open and written back on close when something changed. Used for
// tuning.ini and the language files.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text.h"

namespace ini {

// Closes any file still open, then reads and parses path. False when it could not be opened.
bool open(const std::string& path);
// Closes any file still open, creates or truncates path at once, and starts empty.
bool create(const std::string& path);
// Writes the file back if it was modified and releases it.
void close();

// Selects the first group of that name (ASCII case ignored); "" is the top section.
bool useGroup(std::string_view name);

int32_t getInt(std::string_view key, int32_t defaultValue);
Text getText(std::string_view key, TextView defaultValue = {});
void setInt(std::string_view key, int32_t value);
void setText(std::string_view key, TextView value);
void eraseKey(std::string_view key);

// Enumeration of the selected group's keys in file order.
bool beginKeyScan();
bool nextKey();
Text scannedKey();
Text scannedValue();

}  // namespace ini
