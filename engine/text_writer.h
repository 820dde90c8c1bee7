#pragma once
// Writing text to a file in a given encoding, through a 64 KiB buffer. The program writes
// only to descriptors it opened itself (a new file beside the one it replaces, a pipe),
// which the writer borrows.

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/text_codec.h"

class TextFile;

// Hands every piece of bytes a writer writes to tap as well, in order (the bytes of the
// file once written).
using ByteTap = std::function<void(std::string_view bytes)>;

// The writing side of a TextFile: the bytes not yet written, and whether a write failed.
class TextWriter {
 public:
  explicit TextWriter(TextFile& file);

  // Writes bytes as they are; large pieces go out in parts, so that the buffer never holds
  // more than its size.
  void put(std::string_view bytes);
  void writeLine(TextView text, TextFormat format);
  void writeText(TextView text, TextFormat format);
  // Writes what is buffered (to the tap as well).
  void flush();
  bool failed() const { return failed_; }
  void markFailed() { failed_ = true; }
  void tap(ByteTap tap) { tap_ = std::move(tap); }

 private:
  void flushWhenFull();

  TextFile& file_;
  std::string out_;
  bool failed_ = false;
  ByteTap tap_;
};

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
void tapWrittenBytes(TextFile& file, ByteTap tap);
