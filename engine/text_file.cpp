#include "engine/text_file.h"

#include <unistd.h>

TextFile::TextFile(int fd, bool ownsFd, std::string_view charset)
    : codec(charset.empty() ? std::string_view("UTF-8") : charset), fd_(fd), ownsFd_(ownsFd) {}

TextFile::~TextFile() { close(); }

bool TextFile::close() {
  if (fd_ >= 0) {
    if (writer) writer->flush();
    if (ownsFd_ && ::close(fd_) != 0 && writer) writer->markFailed();
    fd_ = -1;
  }
  return !writer || !writer->failed();
}

int descriptorOf(const TextFile& file) { return file.fd(); }

bool decodesAnsiAsUtf8(const TextFile& file) { return file.codec.isUtf8(); }

bool closeFile(TextFile& file) { return file.close(); }
