#include "engine/text_writer.h"

#include <cerrno>
#include <unistd.h>

#include "engine/text_file.h"

namespace {

constexpr size_t writeBufferSize = 64 * 1024;

}  // namespace

TextWriter::TextWriter(TextFile& file) : file_(file) { out_.reserve(writeBufferSize + 4096); }

void TextWriter::flush() {
  if (tap_ && !failed_) tap_(out_);
  const char* data = out_.data();
  size_t left = out_.size();
  while (left > 0 && !failed_) {
    const ssize_t put = ::write(file_.fd(), data, left);
    if (put < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
    } else if (put == 0) {
      failed_ = true;
    } else {
      data += put;
      left -= static_cast<size_t>(put);
    }
  }
  out_.clear();
}

void TextWriter::flushWhenFull() {
  if (out_.size() >= writeBufferSize) flush();
}

void TextWriter::put(std::string_view bytes) {
  if (file_.fd() < 0) return;
  while (out_.size() + bytes.size() >= writeBufferSize) {
    const size_t part = out_.size() < writeBufferSize ? writeBufferSize - out_.size() : 0;
    out_.append(bytes.substr(0, part));
    bytes.remove_prefix(part);
    flush();
  }
  out_.append(bytes);
}

void TextWriter::writeLine(TextView text, TextFormat format) {
  if (file_.fd() < 0) return;
  encodeText(text, format, file_.codec, out_);
  if (format == TextFormat::utf16le) out_.append("\r\0\n\0", 4);
  else out_.append("\r\n");
  flushWhenFull();
}

// A long text in UTF-8 or UTF-16 is encoded a slice at a time (a surrogate pair never
// cut), so that its bytes are not all held at once; other character sets may carry a
// state from character to character and get the text in one piece.
void TextWriter::writeText(TextView text, TextFormat format) {
  if (file_.fd() < 0) return;
  if (format == TextFormat::utf16le || format == TextFormat::utf8 || file_.codec.isUtf8()) {
    constexpr size_t slice = writeBufferSize / 4;
    while (text.size() > slice) {
      size_t cut = slice;
      if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
      encodeText(text.substr(0, cut), format, file_.codec, out_);
      text.remove_prefix(cut);
      flushWhenFull();
    }
  }
  encodeText(text, format, file_.codec, out_);
  flushWhenFull();
}

std::unique_ptr<TextFile> writeToDescriptor(int fd, std::string_view charset) {
  auto file = std::make_unique<TextFile>(fd, false, charset);
  file->writer = std::make_unique<TextWriter>(*file);
  return file;
}

void writeMark(TextFile& file, TextFormat format) {
  if (format == TextFormat::utf8) writeBytes(file, "\xEF\xBB\xBF");
  else if (format == TextFormat::utf16le) writeBytes(file, "\xFF\xFE");
}

void writeLine(TextFile& file, TextView text, TextFormat format) {
  if (file.writer) file.writer->writeLine(text, format);
}

void writeText(TextFile& file, TextView text, TextFormat format) {
  if (file.writer) file.writer->writeText(text, format);
}

void writeBytes(TextFile& file, std::string_view bytes) {
  if (file.writer) file.writer->put(bytes);
}

void tapWrittenBytes(TextFile& file, ByteTap tap) {
  if (file.writer) file.writer->tap(std::move(tap));
}
