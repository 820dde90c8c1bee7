#include "engine/text_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/descriptor_io.h"
#include "engine/text_file.h"

namespace {

constexpr size_t readBufferSize = 64 * 1024;

// ---- Finding line ends ------------------------------------------------------------------

bool isLineEndByte(unsigned char byte) {
  return byte <= '\r' && (byte == '\n' || byte == '\r' || byte == 0);
}

#ifdef __SSE2__
// Bit i is set where byte i of the sixteen at p is LF, CR or zero.
unsigned lineEndMask16(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                                 _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))),
                                    _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
  return static_cast<unsigned>(_mm_movemask_epi8(ends));
}
#endif

// The first LF, CR or zero byte in [p, stop), or stop. Eight bytes at a time: a word has a
// byte below 0x0E exactly when (word - 0x0E0E..) & ~word & 0x8080.. is not zero.
const char* findLineEndByte(const char* p, const char* stop) {
  constexpr uint64_t ones = 0x0101010101010101ull;
#ifdef __SSE2__
  // Sixteen bytes at a time.
  while (stop - p >= 16) {
    const unsigned mask = lineEndMask16(p);
    if (mask != 0) return p + __builtin_ctz(mask);
    p += 16;
  }
#endif
  for (;;) {
    while (stop - p >= 8) {
      uint64_t word;
      std::memcpy(&word, p, 8);
      if (((word - ones * 0x0E) & ~word & (ones * 0x80)) != 0) break;
      p += 8;
    }
    const char* const wordEnd = stop - p >= 8 ? p + 8 : stop;
    for (; p < wordEnd; ++p)
      if (isLineEndByte(static_cast<unsigned char>(*p))) return p;
    if (p == stop) return p;
  }
}

// The number of line end bytes (LF, CR, zero) in [p, stop).
size_t countLineEndBytes(const char* p, const char* stop) {
  size_t count = 0;
#ifdef __SSE2__
  for (; stop - p >= 16; p += 16) count += static_cast<size_t>(__builtin_popcount(lineEndMask16(p)));
#endif
  for (; p < stop; ++p) count += isLineEndByte(static_cast<unsigned char>(*p));
  return count;
}

bool isLineEndUnit(char32_t unit) { return unit == u'\n' || unit == u'\r' || unit == 0; }

}  // namespace

// ---- The reader -------------------------------------------------------------------------

TextReader::TextReader(TextFile& file) : file_(file) {
  buffer_.resize(readBufferSize);
  data_ = buffer_.data();
}

TextReader::TextReader(TextFile& file, std::string_view bytes, bool readError) : file_(file) {
  inMemory_ = true;
  data_ = bytes.data();
  end_ = bytes.size();
  ended_ = true;
  readError_ = readError;
}

bool TextReader::closed() const { return file_.fd() < 0; }

// Tries to have at least n (at most 4) unread bytes in the buffer; false when the file
// ended (or a read failed) first.
bool TextReader::ensure(size_t n) {
  if (available() >= n) return true;
  if (pos_ > 0 && !inMemory_) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, available());
    end_ -= pos_;
    pos_ = 0;
  }
  while (available() < n && readMore()) {
  }
  return available() >= n;
}

// Reads once into the free part of the buffer (compacting it first when it is full).
bool TextReader::readMore() {
  if (ended_ || closed()) return false;
  if (end_ == buffer_.size()) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, available());
    end_ -= pos_;
    pos_ = 0;
  }
  ssize_t got;
  do {
    got = ::read(file_.fd(), buffer_.data() + end_, buffer_.size() - end_);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    // A read error ends the file here; the caller can ask readFailed().
    if (got < 0) readError_ = true;
    ended_ = true;
    return false;
  }
  end_ += static_cast<size_t>(got);
  return true;
}

// Drops a last group of bytes that is too short for one unit of the current format.
void TextReader::dropIncompleteTail() {
  if (unitSize_ > 1 && !ensure(unitSize_) && available() > 0) {
    incomplete_ = true;
    pos_ = end_;
  }
}

bool TextReader::atEnd() {
  if (closed()) return true;
  dropIncompleteTail();
  return !ensure(1);
}

TextFormat TextReader::detectFormat() {
  ensure(4);
  const unsigned char* b = reinterpret_cast<const unsigned char*>(data_ + pos_);
  const size_t n = available() < 4 ? available() : 4;
  TextFormat format = TextFormat::ansi;
  size_t mark = 0;
  if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
    format = TextFormat::utf16le;
    mark = 2;
  } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    format = TextFormat::utf8;
    mark = 3;
  } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
    format = TextFormat::utf16be;
    mark = 2;
  } else if (n == 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
    format = TextFormat::utf32be;
    mark = 4;
  }
  pos_ += mark;
  unitSize_ = unitSizeOf(format);
  return format;
}

bool TextReader::readLine(TextFormat format, Text& line) {
  line.clear();
  return appendLine(format, line);
}

// readLine, appending the line to line.
bool TextReader::appendLine(TextFormat format, Text& line) {
  if (closed()) return false;
  unitSize_ = unitSizeOf(format);
  const bool got = unitSize_ == 1 ? readByteLine(format, line) : readUnitLine(format, line);
  dropIncompleteTail();
  return got;
}

void TextReader::readLines(TextFormat format, Text& text) {
  if (inMemory_ && unitSizeOf(format) == 1 && (format == TextFormat::utf8 || file_.codec.isUtf8())) {
    readUtf8Text(text);
    return;
  }
  text.clear();
  // Room for the whole text, so that a large one is not copied while it grows: a unit
  // per byte (per unit), and one more where a lone CR or LF becomes CR LF.
  const size_t unit = unitSizeOf(format);
  size_t room = available() / unit + 8;
  if (inMemory_ && unit == 1 && room > 1024 * 1024) room += countLineEndBytes(data_ + pos_, data_ + end_);
  else room += room / 8;
  text.reserve(room);
  bool first = true;
  size_t lines = 0;
  for (;;) {
    const size_t before = text.size();
    if (!first) text += u"\r\n";
    if (!appendLine(format, text)) {
      text.resize(before);
      break;
    }
    first = false;
    ++lines;
  }
  if (lineEnds_ != nullptr) lineEnds_->last = lines > 0 && lineEnds_->kinds.size() == lines;
}

// readText for a whole file in memory decoded as UTF-8: the lines are split by the same
// rules as readByteLine's and decoded straight into the text's storage.
void TextReader::readUtf8Text(Text& text) {
  const char* p = data_ + pos_;
  const char* const stop = data_ + end_;
  // Every byte gives at most one unit, and every line end (at least one byte) two.
  const size_t left = static_cast<size_t>(stop - p);
  const size_t room = left + (left > 1024 * 1024 ? countLineEndBytes(p, stop) : left) + 8;
  // The room is reserved at once, but the text's length (whose growth resize fills with
  // zeros) runs only a slice ahead of the decoding, so that the zeros are still in the
  // cache when the decoded units overwrite them. What an earlier text left in storage
  // that is large enough is overwritten unfilled; smaller storage is not copied over.
  constexpr size_t slice = 64 * 1024;
  if (text.capacity() < room) text.clear();
  text.reserve(room);
  char16_t* const begin = text.data();
  char16_t* out = begin;
  bool first = true;
  size_t lines = 0;
  while (p < stop) {
    const char* const end = findLineEndByte(p, stop);
    const size_t needed = static_cast<size_t>(out - begin) + static_cast<size_t>(end - p) + 2;
    if (text.size() < needed) text.resize(std::min(room, std::max(needed, text.size() + slice)));
    if (!first) {
      *out++ = u'\r';
      *out++ = u'\n';
    }
    first = false;
    ++lines;
    out = decodeUtf8Into(std::string_view(p, static_cast<size_t>(end - p)), out);
    if (end == stop) break;
    if (*end == 0) sawZero_ = true;
    p = end + 1;
    const bool pair = *end == '\r' && p < stop && *p == '\n';
    if (pair) ++p;
    if (lineEnds_ != nullptr) recordLineEnd(*end, pair);
  }
  pos_ = end_;
  text.resize(static_cast<size_t>(out - begin));
  if (lineEnds_ != nullptr) lineEnds_->last = lines > 0 && lineEnds_->kinds.size() == lines;
}

// Notes one line end: the unit that ended the line, and whether an LF after a CR was
// taken with it.
void TextReader::recordLineEnd(char32_t ending, bool pair) {
  lineEnds_->kinds.push_back(pair ? LineEnds::crLf : ending == u'\n' ? LineEnds::lf : ending == u'\r' ? LineEnds::cr : LineEnds::zero);
}

bool TextReader::readByteLine(TextFormat format, Text& line) {
  if (!ensure(1)) return false;
  bool spanned = false;  // the line's first bytes were kept in lineBytes_
  for (;;) {
    const char* start = data_ + pos_;
    const char* stop = data_ + end_;
    const char* p = findLineEndByte(start, stop);
    if (p < stop) {
      const char ending = *p;
      if (spanned) {
        lineBytes_.append(start, p);
        decode(format, lineBytes_, line);
      } else {
        decode(format, std::string_view(start, static_cast<size_t>(p - start)), line);
      }
      pos_ = static_cast<size_t>(p - data_) + 1;
      if (ending == 0) sawZero_ = true;
      const bool pair = ending == '\r' && ensure(1) && data_[pos_] == '\n';
      if (pair) ++pos_;
      if (lineEnds_ != nullptr) recordLineEnd(static_cast<unsigned char>(ending), pair);
      return true;
    }
    if (inMemory_ && !spanned) {
      // The whole file is here: its last line ends with the bytes.
      decode(format, std::string_view(start, static_cast<size_t>(stop - start)), line);
      pos_ = end_;
      return true;
    }
    if (!spanned) lineBytes_.clear();
    lineBytes_.append(start, stop);
    spanned = true;
    pos_ = end_ = 0;
    if (!readMore()) {
      decode(format, lineBytes_, line);
      return true;
    }
  }
}

bool TextReader::readUnitLine(TextFormat format, Text& line) {
  const bool bigEndian = isBigEndian(format);
  if (!ensure(unitSize_)) return false;
  for (;;) {
    const size_t units = available() / unitSize_;
    size_t k = 0;
    while (k < units && !isLineEndUnit(unitAt(data_ + pos_ + k * unitSize_, unitSize_, bigEndian))) ++k;
    appendUnits(data_ + pos_, k, unitSize_, bigEndian, line);
    if (k < units) {
      const char32_t ending = unitAt(data_ + pos_ + k * unitSize_, unitSize_, bigEndian);
      pos_ += (k + 1) * unitSize_;
      if (ending == 0) sawZero_ = true;
      const bool pair = ending == u'\r' && ensure(unitSize_) && unitAt(data_ + pos_, unitSize_, bigEndian) == u'\n';
      if (pair) pos_ += unitSize_;
      if (lineEnds_ != nullptr) recordLineEnd(ending, pair);
      return true;
    }
    pos_ += units * unitSize_;
    if (!ensure(unitSize_)) return true;
  }
}

void TextReader::readText(TextFormat format, Text& text, LineEnds* ends) {
  if (ends != nullptr) {
    ends->kinds.clear();
    ends->last = false;
  }
  lineEnds_ = ends;
  readLines(format, text);
  lineEnds_ = nullptr;
}

void TextReader::decode(TextFormat format, std::string_view bytes, Text& line) {
  if (!decodeBytes(format, bytes, file_.codec, line)) irreversible_ = true;
}

// ---- Opening files ----------------------------------------------------------------------

namespace {

// Opens an existing regular file for reading; -1 on failure. info is the file's status.
// O_NONBLOCK keeps the open of a named pipe from waiting for a writer; such a file is then
// refused, and for a regular file the flag changes nothing, so it is left set.
int openRegular(const std::string& path, struct stat& info) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::unique_ptr<TextFile> openForReading(const std::string& path, std::string_view charset) {
  struct stat info;
  const int fd = openRegular(path, info);
  if (fd < 0) return nullptr;
  auto file = std::make_unique<TextFile>(fd, true, charset);
  file->reader = std::make_unique<TextReader>(*file);
  return file;
}

namespace {

// Reads fd from where it stands to its end into bytes after their first size, for a file
// whose status gave expected bytes in all; false when reading ended in an error.
bool readToEnd(int fd, FileBytes& bytes, size_t expected) {
  // One byte more than the size, so that a file that is just as large as it was when its
  // size was taken ends with a short read and needs no second one.
  bytes.reserve(expected + 1);
  size_t size = bytes.size;
  bool readError = false;
  for (;;) {
    if (size == bytes.capacity) {
      bytes.size = size;
      bytes.reserve(bytes.capacity * 2);
    }
    const size_t wanted = bytes.capacity - size;
    const ssize_t got = ::read(fd, bytes.storage.get() + size, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) readError = true;
    if (got <= 0) break;
    size += static_cast<size_t>(got);
    // A short read that reaches the size the file had is its end (it has not grown).
    if (static_cast<size_t>(got) < wanted && size == expected) break;
  }
  bytes.size = size;
  return !readError;
}

// The first bytes read of a file that is read in part.
constexpr size_t partBytes = 64 * 1024;

}  // namespace

int openFileForReading(const std::string& path, struct stat& status) { return openRegular(path, status); }

std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& info,
                                        const std::function<bool(const struct stat&)>& admit,
                                        std::string_view charset, size_t partFrom) {
  // The descriptor is closed here until the file owns it: the admission may throw.
  OwnedDescriptor owned(openRegular(path, info));
  if (owned.fd() < 0) return nullptr;
  if (admit && !admit(info)) return nullptr;
  return readOpenedFile(owned.release(), info, bytes, charset, partFrom);
}

std::unique_ptr<TextFile> readOpenedFile(int descriptor, const struct stat& info, FileBytes& bytes,
                                         std::string_view charset, size_t partFrom) {
  // The descriptor is closed here until the file owns it: reserving the bytes may throw.
  OwnedDescriptor owned(descriptor);
  const int fd = owned.fd();
  const size_t expected = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  bytes.size = 0;
  bytes.whole = expected < partFrom;
  bool readError = false;
  if (bytes.whole) {
    readError = !readToEnd(fd, bytes, expected);
  } else {
    bytes.reserve(partBytes);
    ssize_t got;
    do {
      got = ::read(fd, bytes.storage.get(), partBytes);
    } while (got < 0 && errno == EINTR);
    readError = got < 0;
    bytes.size = got > 0 ? static_cast<size_t>(got) : 0;
  }
  auto file = std::make_unique<TextFile>(fd, true, charset);
  owned.release();
  file->reader = std::make_unique<TextReader>(*file, bytes.view(), readError);
  return file;
}

void readRestOfFile(TextFile& file, FileBytes& bytes) {
  if (bytes.whole || file.fd() < 0) return;
  struct stat info;
  const size_t expected = fstat(file.fd(), &info) == 0 && info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  const bool readError = (file.reader && file.reader->readError()) || !readToEnd(file.fd(), bytes, expected);
  bytes.whole = true;
  file.reader = std::make_unique<TextReader>(file, bytes.view(), readError);
}

void FileBytes::reserve(size_t n) {
  if (n <= capacity) return;
  std::unique_ptr<char[]> larger(new char[n]);
  if (size > 0) std::memcpy(larger.get(), storage.get(), size);
  storage = std::move(larger);
  capacity = n;
}

bool lockForWriting(TextFile& file) {
  if (file.fd() < 0) return false;
  return flock(file.fd(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

// ---- Reading ----------------------------------------------------------------------------

TextFormat detectFormat(TextFile& file) { return file.reader ? file.reader->detectFormat() : TextFormat::ansi; }

bool atEnd(TextFile& file) { return !file.reader || file.reader->atEnd(); }

bool readLine(TextFile& file, TextFormat format, Text& line) {
  if (file.reader) return file.reader->readLine(format, line);
  line.clear();
  return false;
}

void readText(TextFile& file, TextFormat format, Text& text) {
  if (file.reader) file.reader->readText(format, text, nullptr);
  else text.clear();
}

void readText(TextFile& file, TextFormat format, Text& text, LineEnds& ends) {
  ends.kinds.clear();
  ends.last = false;
  if (file.reader) file.reader->readText(format, text, &ends);
  else text.clear();
}

bool sawZeroUnit(const TextFile& file) { return file.reader && file.reader->sawZero(); }

bool readFailed(const TextFile& file) { return file.reader && file.reader->readError(); }

bool sawIncompleteUnit(const TextFile& file) { return file.reader && file.reader->incomplete(); }

bool sawIrreversibleBytes(const TextFile& file) { return file.reader && file.reader->irreversible(); }
