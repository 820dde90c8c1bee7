#pragma once
// An open text file: one descriptor, either read line by line (text_reader.h) or written
// (text_writer.h), with the "ansi" character set it was opened with (text_codec.h).

#include <memory>
#include <string_view>

#include "engine/text_codec.h"
#include "engine/text_reader.h"
#include "engine/text_writer.h"

class TextFile {
 public:
  // A file on fd, closed with the file when ownsFd is set. An empty charset stands for
  // UTF-8.
  TextFile(int fd, bool ownsFd, std::string_view charset);
  // Releasing an open file closes it (writing what is still buffered).
  ~TextFile();
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  int fd() const { return fd_; }
  // Flushes a writer and closes the descriptor it owns. False when any write, the flush or
  // the close of a writer failed.
  bool close();

  AnsiCodec codec;
  // Exactly one of them is set by the functions that open a file.
  std::unique_ptr<TextReader> reader;
  std::unique_ptr<TextWriter> writer;

 private:
  int fd_;
  bool ownsFd_;
};

// The descriptor the file is open on (-1 once it is closed); it stays the file's own.
int descriptorOf(const TextFile& file);
// True when the file's "ansi" character set is decoded as UTF-8 (see "ansi" in text_codec.h).
bool decodesAnsiAsUtf8(const TextFile& file);
// Flushes and releases the file (see TextFile::close).
bool closeFile(TextFile& file);
