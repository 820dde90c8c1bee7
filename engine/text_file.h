#pragma once
// Reads a text file line by line in the encoding its byte-order mark announces, and writes
// lines back in a given encoding. One open file per TextFile object; reads and writes are
// buffered. "ansi" is the locale's character set, decoded losslessly.

#include <cstdint>
#include <memory>
#include <string>

#include "engine/text.h"

enum class TextFormat { ansi, utf8, utf16le, utf16be, utf32be, utf32le };

class TextFile;

// Opens an existing regular file for reading (nullptr on failure, also for folders).
std::unique_ptr<TextFile> openForReading(const std::string& path);
// Reads at most 4 bytes at the start and moves past a recognised mark.
TextFormat detectFormat(TextFile& file);
bool atEnd(TextFile& file);
// Reads the next line into line (its end dropped). Returns false when nothing was left.
bool readLine(TextFile& file, TextFormat format, Text& line);
Text readLine(TextFile& file, TextFormat format);
// True once the reader has met a zero unit in this file.
bool sawZeroUnit(const TextFile& file);

// Creates the file or empties an existing one (nullptr on failure).
std::unique_ptr<TextFile> createForWriting(const std::string& path);
// Writes the byte-order mark of the format (nothing for ansi).
void writeMark(TextFile& file, TextFormat format);
// Writes the text, then CR LF, in the format's encoding.
void writeLine(TextFile& file, TextView text, TextFormat format);
// Flushes and releases the file. False when any write or the flush failed.
bool closeFile(TextFile& file);
