#pragma once
// Reading a text file line by line in the encoding its byte-order mark announces: from a
// buffer refilled 64 KiB at a time (openForReading), or from the bytes of the whole file
// read at once (openWholeFile, what the run uses). The lines come back without their ends.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

#include "engine/text_codec.h"

class TextFile;

// Storage for the bytes of whole files, reused from file to file: it only grows (and is
// not cleared first), and the bytes of the last file read are its first size bytes.
struct FileBytes {
  std::unique_ptr<char[]> storage;
  size_t capacity = 0;
  size_t size = 0;
  // False when only the first bytes of the file were read (see openWholeFile).
  bool whole = true;
  std::string_view view() const { return std::string_view(storage.get(), size); }
  // Makes room for at least n bytes, keeping the first size.
  void reserve(size_t n);
};

// The line ends of a file as they were read: one entry per line end, in order, and whether
// the last line had one.
struct LineEnds {
  enum Kind : unsigned char { crLf, lf, cr, zero };
  std::vector<Kind> kinds;
  bool last = false;
};

// The reading side of a TextFile: where it is in the bytes, and what it met on the way.
class TextReader {
 public:
  // Reads from the file's descriptor through a buffer of its own.
  explicit TextReader(TextFile& file);
  // Reads bytes already read in full from the file's descriptor; readError tells that
  // reading them ended in an error.
  TextReader(TextFile& file, std::string_view bytes, bool readError);

  TextFormat detectFormat();
  bool atEnd();
  bool readLine(TextFormat format, Text& line);
  void readText(TextFormat format, Text& text, LineEnds* ends);

  bool sawZero() const { return sawZero_; }
  bool readError() const { return readError_; }
  bool incomplete() const { return incomplete_; }
  bool irreversible() const { return irreversible_; }

 private:
  bool closed() const;
  size_t available() const { return end_ - pos_; }
  bool ensure(size_t n);
  bool readMore();
  void dropIncompleteTail();
  bool appendLine(TextFormat format, Text& line);
  void readLines(TextFormat format, Text& text);
  void readUtf8Text(Text& text);
  void recordLineEnd(char32_t ending, bool pair);
  bool readByteLine(TextFormat format, Text& line);
  bool readUnitLine(TextFormat format, Text& line);
  void decode(TextFormat format, std::string_view bytes, Text& line);

  TextFile& file_;
  bool inMemory_ = false;  // data_ holds the whole file; nothing more is read
  std::vector<char> buffer_;
  const char* data_ = nullptr;  // buffer_'s bytes, or the whole file's
  size_t pos_ = 0;
  size_t end_ = 0;
  size_t unitSize_ = 1;
  bool ended_ = false;
  bool readError_ = false;
  bool sawZero_ = false;
  bool incomplete_ = false;
  bool irreversible_ = false;
  LineEnds* lineEnds_ = nullptr;  // where readText notes the line ends, or null
  std::string lineBytes_;         // a line's bytes that spanned reads
};

// Opens an existing regular file for reading (nullptr on failure, also for folders and
// named pipes, which are refused without waiting for a writer). Reading takes no lock: a
// file that another holder has locked is read all the same (see lockForWriting). charset
// is the file's "ansi" character set (empty: UTF-8).
std::unique_ptr<TextFile> openForReading(const std::string& path, std::string_view charset = {});
// Opens a file as openForReading does (the same checks), gives its status (fstat) in
// status, and reads all of it into bytes at once. The reader returned reads from those
// bytes, with the same mark, lines and flags as openForReading's reader of the same file;
// bytes must stay unchanged while lines are read from it. The file stays open until the
// reader is released. When admit is given, it is given the status once the file is open,
// and when it says false the file is closed unread and null is returned. A charset given
// here is the file's "ansi" character set instead of UTF-8. A file of at least partFrom
// bytes is read only in part (its first 64 KiB; bytes.whole is false): its reader reads
// them alone until readRestOfFile has read the rest.
std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& status,
                                        const std::function<bool(const struct stat&)>& admit = nullptr,
                                        std::string_view charset = {}, size_t partFrom = SIZE_MAX);
// The two steps of openWholeFile, for a file opened well before it is read: the open (a
// descriptor of a regular file, with its status; -1 and errno when there is none), and the
// read of all of the file (or its first part) from a descriptor it takes over.
int openFileForReading(const std::string& path, struct stat& status);
std::unique_ptr<TextFile> readOpenedFile(int descriptor, const struct stat& status, FileBytes& bytes,
                                         std::string_view charset = {}, size_t partFrom = SIZE_MAX);
// Reads the rest of a file that openWholeFile read in part into bytes, after the part, and
// gives the file a reader of all of them, from the start (its mark is detected again).
void readRestOfFile(TextFile& file, FileBytes& bytes);
// Takes the advisory exclusive lock (flock) on the file a reader has open, without waiting:
// false when another holder has the file locked, which marks it as in use. File systems
// without flock support count as unlocked. The lock lasts until the reader is released.
bool lockForWriting(TextFile& file);

// Reads at most 4 bytes at the start and moves past a recognised mark (ansi for a writer).
TextFormat detectFormat(TextFile& file);
// True when no line is left (always for a writer).
bool atEnd(TextFile& file);
// Reads the next line into line (its end dropped). Returns false when nothing was left.
bool readLine(TextFile& file, TextFormat format, Text& line);
// Reads all lines that are left, joined by CR LF (no break after the last), into text.
void readText(TextFile& file, TextFormat format, Text& text);
// readText, also noting each line end met in ends.
void readText(TextFile& file, TextFormat format, Text& text, LineEnds& ends);

// What the reader met so far. A zero unit (it ends a line as well); a read error that ended
// the file early (the lines read are not the whole file, so writing them back would cut it
// short); a file read in 16- or 32-bit units that ended inside a unit (those last bytes are
// not part of any line); an "ansi" line read in a character set other than UTF-8 that would
// not give its bytes back when written again (its set maps other bytes to the same
// characters). All false for a writer.
bool sawZeroUnit(const TextFile& file);
bool readFailed(const TextFile& file);
bool sawIncompleteUnit(const TextFile& file);
bool sawIrreversibleBytes(const TextFile& file);
