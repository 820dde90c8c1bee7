#pragma once
// Reads a text file line by line in the encoding its byte-order mark announces, and writes
// lines back in a given encoding. One open file per TextFile object; reads and writes are
// buffered. "ansi" is the locale's character set, decoded losslessly.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "engine/text.h"

enum class TextFormat { ansi, utf8, utf16le, utf16be, utf32be, utf32le };

class TextFile;

// The layout of TextFile stays private to text_file.cpp; this deleter lets callers hold and
// release a std::unique_ptr<TextFile> without it. Releasing an open file closes it (writing
// what is still buffered).
template <>
struct std::default_delete<TextFile> {
  void operator()(TextFile* file) const noexcept;
};

// Opens an existing regular file for reading (nullptr on failure, also for folders and
// named pipes, which are refused without waiting for a writer). Reading takes no lock: a
// file that another holder has locked is read all the same (see lockForWriting). charset
// is the file's "ansi" character set (see "ansi" below; empty: UTF-8).
std::unique_ptr<TextFile> openForReading(const std::string& path, std::string_view charset = {});

// Storage for the bytes of whole files, reused from file to file: it only grows (and is
// not cleared first), and the bytes of the last file read are its first size bytes.
struct FileBytes {
  std::unique_ptr<char[]> storage;
  size_t capacity = 0;
  size_t size = 0;
  std::string_view view() const { return std::string_view(storage.get(), size); }
  // Makes room for at least n bytes, keeping the first size.
  void reserve(size_t n);
};
// Opens a file as openForReading does (the same checks) and reads all of it into bytes at
// once. The reader returned reads from those bytes, with the same mark, lines and flags as
// openForReading's reader of the same file; bytes must stay unchanged while lines are read
// from it. The file stays open until the reader is released.
std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes);
// The same, also giving the status (fstat) of the file that was opened.
std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& status);
// The same, but once the file is open admit is given its status; when it says false the
// file is closed unread and null is returned. A charset given here is the file's "ansi"
// character set instead of UTF-8.
std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& status,
                                        const std::function<bool(const struct stat&)>& admit,
                                        std::string_view charset = {});
// Takes the advisory exclusive lock (flock) on the file a reader has open, without waiting:
// false when another holder has the file locked, which marks it as in use. File systems
// without flock support count as unlocked. The lock lasts until the reader is released.
bool lockForWriting(TextFile& file);
// The descriptor the file is open on (-1 once it is closed); it stays the reader's or
// writer's own.
int descriptorOf(const TextFile& file);
// Reads all lines that are left, joined by CR LF (no break after the last), into text.
void readText(TextFile& file, TextFormat format, Text& text);

// The line ends of a file as they were read: one entry per line end, in order, and whether
// the last line had one.
struct LineEnds {
  enum Kind : unsigned char { crLf, lf, cr, zero };
  std::vector<Kind> kinds;
  bool last = false;
};
// readText, also noting each line end met in ends.
void readText(TextFile& file, TextFormat format, Text& text, LineEnds& ends);
// True when the file's "ansi" character set is decoded as UTF-8 (see "ansi" below).
bool decodesAnsiAsUtf8(const TextFile& file);
// Reads at most 4 bytes at the start and moves past a recognised mark.
TextFormat detectFormat(TextFile& file);
bool atEnd(TextFile& file);
// Reads the next line into line (its end dropped). Returns false when nothing was left.
bool readLine(TextFile& file, TextFormat format, Text& line);
Text readLine(TextFile& file, TextFormat format);
// True once the reader has met a zero unit in this file.
bool sawZeroUnit(const TextFile& file);
// True once a read error has ended the file early: the lines read are not the whole file,
// so writing them back would cut it short.
bool readFailed(const TextFile& file);
// True when a file read in 16- or 32-bit units ended inside a unit; those last bytes are not
// part of any line.
bool sawIncompleteUnit(const TextFile& file);
// True when an "ansi" line read in a character set other than UTF-8 would not give its
// bytes back when written again (its set maps other bytes to the same characters).
bool sawIrreversibleBytes(const TextFile& file);

// Creates the file or empties an existing one (nullptr on failure); charset is its "ansi"
// character set (empty: UTF-8).
std::unique_ptr<TextFile> createForWriting(const std::string& path, std::string_view charset = {});
// A writer on a descriptor open for writing that the caller keeps: closeFile flushes what
// is buffered but does not close the descriptor. A charset given here is the "ansi"
// character set instead of UTF-8.
std::unique_ptr<TextFile> writeToDescriptor(int fd, std::string_view charset = {});
// Writes the byte-order mark of the format (nothing for ansi).
void writeMark(TextFile& file, TextFormat format);
// Writes the text, then CR LF, in the format's encoding.
void writeLine(TextFile& file, TextView text, TextFormat format);
// Writes the text as it is (its line ends included) in the format's encoding.
void writeText(TextFile& file, TextView text, TextFormat format);
// Writes bytes as they are.
void writeBytes(TextFile& file, std::string_view bytes);
// Flushes and releases the file. False when any write or the flush failed.
bool closeFile(TextFile& file);
// Hands every piece of bytes a writer writes to tap as well, in order (the bytes of the
// file once written).
using ByteTap = std::function<void(std::string_view bytes)>;
void tapWrittenBytes(TextFile& file, ByteTap tap);

// "ansi": the character set of files without a byte-order mark is the one each reader or
// writer is given (an iconv name such as "CP1252"; the program hands over the locale's,
// taken once at start-up, or the user's choice); the empty text is UTF-8, the default. The
// process's locale is never read for it. UTF-8 and the C/POSIX locale's ASCII use the
// lossless UTF-8 conversion of text.h. Other sets convert through iconv: a byte that does
// not convert is kept as U+DC00 + byte and written back unchanged, and a character the set
// cannot represent is written as "?". A set that iconv does not know is handled as UTF-8.
// True when iconv converts between the character set and UTF-16 here.
bool charsetIsAvailable(const std::string& codeset);
