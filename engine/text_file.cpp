#include "engine/text_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/descriptor_io.h"

namespace {

constexpr size_t readBufferSize = 64 * 1024;
constexpr size_t writeBufferSize = 64 * 1024;
const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);
const char* const nativeUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

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

size_t unitSizeOf(TextFormat format) {
  switch (format) {
    case TextFormat::utf16le:
    case TextFormat::utf16be:
      return 2;
    case TextFormat::utf32le:
    case TextFormat::utf32be:
      return 4;
    default:
      return 1;
  }
}

bool isBigEndian(TextFormat format) {
  return format == TextFormat::utf16be || format == TextFormat::utf32be;
}

}  // namespace

class TextFile {
 public:
  TextFile(int fd, bool writing) : fd_(fd), writing_(writing) {
    useCharset({});
    if (writing_) {
      out_.reserve(writeBufferSize + 4096);
    } else {
      buffer_.resize(readBufferSize);
      data_ = buffer_.data();
    }
  }

  // A reader of bytes already read in full from fd (kept open until the reader is
  // released); readError tells that reading them ended in an error.
  TextFile(int fd, std::string_view bytes, bool readError) : fd_(fd), writing_(false) {
    useCharset({});
    inMemory_ = true;
    data_ = bytes.data();
    end_ = bytes.size();
    ended_ = true;
    readError_ = readError;
  }

  // A writer on a descriptor that stays the caller's: closing flushes but leaves it open.
  static std::unique_ptr<TextFile> borrowing(int fd) {
    auto file = std::make_unique<TextFile>(fd, true);
    file->ownsFd_ = false;
    return file;
  }

  ~TextFile() {
    close();
    if (decoder_ != noConverter) iconv_close(decoder_);
    if (encoder_ != noConverter) iconv_close(encoder_);
  }

  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  // The "ansi" character set of this file: the name given, or UTF-8 for none.
  void useCharset(std::string_view name) {
    codeset_ = name.empty() ? std::string("UTF-8") : std::string(name);
    ansiIsUtf8_ = isUtf8Codeset(codeset_.c_str());
    if (decoder_ != noConverter) iconv_close(decoder_);
    if (encoder_ != noConverter) iconv_close(encoder_);
    decoder_ = encoder_ = noConverter;
  }

  // Where the line ends that readText meets are recorded; null for none.
  void recordLineEndsIn(LineEnds* ends) { lineEnds_ = ends; }

  bool close() {
    if (fd_ >= 0) {
      if (writing_) flush();
      if (ownsFd_ && ::close(fd_) != 0 && writing_) writeFailed_ = true;
      fd_ = -1;
    }
    return !writeFailed_;
  }

  // ---- reading -------------------------------------------------------------------------

  size_t available() const { return end_ - pos_; }

  // Tries to have at least n (at most 4) unread bytes in the buffer; false when the file
  // ended (or a read failed) first.
  bool ensure(size_t n) {
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
  bool readMore() {
    if (ended_ || fd_ < 0 || writing_) return false;
    if (end_ == buffer_.size()) {
      std::memmove(buffer_.data(), buffer_.data() + pos_, available());
      end_ -= pos_;
      pos_ = 0;
    }
    ssize_t got;
    do {
      got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
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
  void dropIncompleteTail() {
    if (unitSize_ > 1 && !ensure(unitSize_) && available() > 0) {
      incomplete_ = true;
      pos_ = end_;
    }
  }

  bool atEnd() {
    if (writing_ || fd_ < 0) return true;
    dropIncompleteTail();
    return !ensure(1);
  }

  TextFormat detectFormat() {
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

  bool readLine(TextFormat format, Text& line) {
    line.clear();
    return appendLine(format, line);
  }

  // readLine, appending the line to line.
  bool appendLine(TextFormat format, Text& line) {
    if (writing_ || fd_ < 0) return false;
    unitSize_ = unitSizeOf(format);
    const bool got = unitSize_ == 1 ? readByteLine(format, line) : readUnitLine(format, line);
    dropIncompleteTail();
    return got;
  }

  void readText(TextFormat format, Text& text) {
    if (inMemory_ && unitSizeOf(format) == 1 && (format == TextFormat::utf8 || ansiIsUtf8_)) {
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
  void readUtf8Text(Text& text) {
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
  void recordLineEnd(char32_t ending, bool pair) {
    lineEnds_->kinds.push_back(pair ? LineEnds::crLf : ending == u'\n' ? LineEnds::lf : ending == u'\r' ? LineEnds::cr : LineEnds::zero);
  }

  bool readByteLine(TextFormat format, Text& line) {
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
          decodeBytes(format, lineBytes_, line);
        } else {
          decodeBytes(format, std::string_view(start, static_cast<size_t>(p - start)), line);
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
        decodeBytes(format, std::string_view(start, static_cast<size_t>(stop - start)), line);
        pos_ = end_;
        return true;
      }
      if (!spanned) lineBytes_.clear();
      lineBytes_.append(start, stop);
      spanned = true;
      pos_ = end_ = 0;
      if (!readMore()) {
        decodeBytes(format, lineBytes_, line);
        return true;
      }
    }
  }

  char32_t unitAt(size_t offset, bool bigEndian) const {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(data_ + offset);
    if (unitSize_ == 2)
      return bigEndian ? (char32_t{b[0]} << 8) | b[1] : (char32_t{b[1]} << 8) | b[0];
    return bigEndian ? (char32_t{b[0]} << 24) | (char32_t{b[1]} << 16) | (char32_t{b[2]} << 8) | b[3]
                     : (char32_t{b[3]} << 24) | (char32_t{b[2]} << 16) | (char32_t{b[1]} << 8) | b[0];
  }

  void appendUnits(size_t from, size_t count, bool bigEndian, Text& line) const {
    if (unitSize_ == 2) {
      const size_t old = line.size();
      line.resize(old + count);
      if (!bigEndian && std::endian::native == std::endian::little) {
        std::memcpy(line.data() + old, data_ + from, count * 2);
      } else {
        for (size_t k = 0; k < count; ++k)
          line[old + k] = static_cast<char16_t>(unitAt(from + 2 * k, bigEndian));
      }
      return;
    }
    for (size_t k = 0; k < count; ++k) {
      const char32_t cp = unitAt(from + 4 * k, bigEndian);
      if (cp >= 0x10000 && cp <= 0x10FFFF) {
        line.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
        line.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
      } else {
        line.push_back(cp > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(cp));
      }
    }
  }

  bool readUnitLine(TextFormat format, Text& line) {
    const bool bigEndian = isBigEndian(format);
    if (!ensure(unitSize_)) return false;
    for (;;) {
      const size_t units = available() / unitSize_;
      size_t k = 0;
      while (k < units && !isLineEndUnit(unitAt(pos_ + k * unitSize_, bigEndian))) ++k;
      appendUnits(pos_, k, bigEndian, line);
      if (k < units) {
        const char32_t ending = unitAt(pos_ + k * unitSize_, bigEndian);
        pos_ += (k + 1) * unitSize_;
        if (ending == 0) sawZero_ = true;
        const bool pair = ending == u'\r' && ensure(unitSize_) && unitAt(pos_, bigEndian) == u'\n';
        if (pair) pos_ += unitSize_;
        if (lineEnds_ != nullptr) recordLineEnd(ending, pair);
        return true;
      }
      pos_ += units * unitSize_;
      if (!ensure(unitSize_)) return true;
    }
  }

  void decodeBytes(TextFormat format, std::string_view bytes, Text& line) {
    if (format == TextFormat::utf8 || ansiIsUtf8_) appendTextFromUtf8(bytes, line);
    else decodeAnsi(bytes, line);
  }

  // Converts from the ansi character set; a byte that does not convert becomes U+DC00 + byte.
  void decodeAnsi(std::string_view bytes, Text& line) {
    if (decoder_ == noConverter) decoder_ = iconv_open(nativeUtf16, codeset_.c_str());
    if (decoder_ == noConverter) {
      appendTextFromUtf8(bytes, line);
      return;
    }
    iconv(decoder_, nullptr, nullptr, nullptr, nullptr);
    const size_t old = line.size();
    size_t used = old;
    line.resize(old + bytes.size() * 2 + 2);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
      char* outPtr = reinterpret_cast<char*>(line.data() + used);
      size_t outLeft = (line.size() - used) * 2;
      const size_t result = iconv(decoder_, &in, &inLeft, &outPtr, &outLeft);
      used = line.size() - outLeft / 2;
      if (result != static_cast<size_t>(-1)) break;
      if (errno == E2BIG || line.size() - used < 1) {
        line.resize(line.size() * 2 + 8);
        continue;
      }
      line[used++] = static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(*in));
      ++in;
      --inLeft;
      iconv(decoder_, nullptr, nullptr, nullptr, nullptr);
    }
    line.resize(used);
    // A character set may map two byte sequences to one character (BIG5, CP932, CP949 do):
    // writing the line back would then change bytes that were not replaced.
    out_.clear();
    encodeAnsi(TextView(line).substr(old));
    if (out_ != bytes) irreversible_ = true;
    out_.clear();
  }

  // ---- writing -------------------------------------------------------------------------

  void flush() {
    if (tap_ && !writeFailed_) tap_(out_);
    const char* data = out_.data();
    size_t left = out_.size();
    while (left > 0 && !writeFailed_) {
      const ssize_t put = ::write(fd_, data, left);
      if (put < 0) {
        if (errno == EINTR) continue;
        writeFailed_ = true;
      } else if (put == 0) {
        writeFailed_ = true;
      } else {
        data += put;
        left -= static_cast<size_t>(put);
      }
    }
    out_.clear();
  }

  // Large pieces go out in parts, so that the buffer never holds more than its size.
  void put(std::string_view bytes) {
    if (fd_ < 0 || !writing_) return;
    while (out_.size() + bytes.size() >= writeBufferSize) {
      const size_t part = out_.size() < writeBufferSize ? writeBufferSize - out_.size() : 0;
      out_.append(bytes.substr(0, part));
      bytes.remove_prefix(part);
      flush();
    }
    out_.append(bytes);
  }

  void writeLine(TextView text, TextFormat format) {
    if (fd_ < 0 || !writing_) return;
    encode(text, format);
    if (format == TextFormat::utf16le) out_.append("\r\0\n\0", 4);
    else out_.append("\r\n");
    if (out_.size() >= writeBufferSize) flush();
  }

  // A long text in UTF-8 or UTF-16 is encoded a slice at a time (a surrogate pair never
  // cut), so that its bytes are not all held at once; other character sets may carry a
  // state from character to character and get the text in one piece.
  void writeText(TextView text, TextFormat format) {
    if (fd_ < 0 || !writing_) return;
    if (format == TextFormat::utf16le || format == TextFormat::utf8 || ansiIsUtf8_) {
      constexpr size_t slice = writeBufferSize / 4;
      while (text.size() > slice) {
        size_t cut = slice;
        if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
        encode(text.substr(0, cut), format);
        text.remove_prefix(cut);
        if (out_.size() >= writeBufferSize) flush();
      }
    }
    encode(text, format);
    if (out_.size() >= writeBufferSize) flush();
  }

  // Appends the text in the format's encoding to what is to be written.
  void encode(TextView text, TextFormat format) {
    if (format == TextFormat::utf16le) {
      const size_t old = out_.size();
      out_.resize(old + text.size() * 2);
      unsigned char* d = reinterpret_cast<unsigned char*>(out_.data() + old);
      for (const char16_t unit : text) {
        *d++ = static_cast<unsigned char>(unit & 0xFF);
        *d++ = static_cast<unsigned char>(unit >> 8);
      }
    } else if (format == TextFormat::utf8 || ansiIsUtf8_) {
      appendTextToUtf8(text, out_);
    } else {
      encodeAnsi(text);
    }
  }

  // Converts to the ansi character set: a lone U+DC00..U+DCFF goes back to its byte, and a
  // character the set cannot represent becomes "?".
  void encodeAnsi(TextView text) {
    if (encoder_ == noConverter) encoder_ = iconv_open(codeset_.c_str(), nativeUtf16);
    if (encoder_ == noConverter) {
      appendTextToUtf8(text, out_);
      return;
    }
    size_t runStart = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      const bool escape = i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDCFF &&
                          !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
      if (i < text.size() && !escape) continue;
      encodeRun(text.substr(runStart, i - runStart));
      if (escape) out_.push_back(static_cast<char>(text[i] - 0xDC00));
      runStart = i + 1;
    }
  }

  void encodeRun(TextView run) {
    if (run.empty()) return;
    iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(run.data()));
    size_t inLeft = run.size() * 2;
    size_t used = out_.size();
    out_.resize(used + run.size() * 4 + 16);
    for (;;) {
      char* outPtr = out_.data() + used;
      size_t outLeft = out_.size() - used;
      const size_t result = iconv(encoder_, &in, &inLeft, &outPtr, &outLeft);
      used = out_.size() - outLeft;
      if (result != static_cast<size_t>(-1)) {
        outPtr = out_.data() + used;
        iconv(encoder_, nullptr, nullptr, &outPtr, &outLeft);  // end any shift state
        used = out_.size() - outLeft;
        break;
      }
      if (errno == E2BIG) {
        out_.resize(out_.size() * 2 + 16);
        continue;
      }
      // Not representable (or a lone surrogate): one "?" for the character.
      size_t skip = 2;
      const char16_t unit = static_cast<char16_t>(static_cast<unsigned char>(in[0]) |
                                                  (static_cast<unsigned char>(in[1]) << 8));
      if (std::endian::native == std::endian::little && unit >= 0xD800 && unit <= 0xDBFF &&
          inLeft >= 4) {
        const char16_t next = static_cast<char16_t>(static_cast<unsigned char>(in[2]) |
                                                    (static_cast<unsigned char>(in[3]) << 8));
        if (next >= 0xDC00 && next <= 0xDFFF) skip = 4;
      }
      if (used == out_.size()) out_.resize(out_.size() * 2 + 16);
      out_[used++] = '?';
      in += skip;
      inLeft -= skip;
      if (inLeft == 0) break;
    }
    out_.resize(used);
  }

  int fd_;
  bool writing_;
  std::string codeset_;
  bool ansiIsUtf8_ = true;
  iconv_t decoder_ = noConverter;
  iconv_t encoder_ = noConverter;

  bool ownsFd_ = true;
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
  LineEnds* lineEnds_ = nullptr;
  std::string lineBytes_;

  std::string out_;
  bool writeFailed_ = false;
  ByteTap tap_;
};

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
  auto file = std::make_unique<TextFile>(fd, false);
  if (!charset.empty()) file->useCharset(charset);
  return file;
}

std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes) {
  struct stat info;
  return openWholeFile(path, bytes, info);
}

std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& info) {
  return openWholeFile(path, bytes, info, nullptr);
}

std::unique_ptr<TextFile> openWholeFile(const std::string& path, FileBytes& bytes, struct stat& info,
                                        const std::function<bool(const struct stat&)>& admit,
                                        std::string_view charset) {
  // The descriptor is closed here until the reader owns it: reserving the bytes, or the
  // admission, may throw.
  OwnedDescriptor owned(openRegular(path, info));
  const int fd = owned.fd();
  if (fd < 0) return nullptr;
  if (admit && !admit(info)) return nullptr;
  const size_t expected = info.st_size > 0 ? static_cast<size_t>(info.st_size) : 0;
  // One byte more than the size, so that a file that is just as large as it was when its
  // size was taken ends with a short read and needs no second one.
  bytes.size = 0;
  bytes.reserve(expected + 1);
  size_t size = 0;
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
  auto file = std::make_unique<TextFile>(fd, bytes.view(), readError);
  owned.release();
  if (!charset.empty()) file->useCharset(charset);
  return file;
}

void FileBytes::reserve(size_t n) {
  if (n <= capacity) return;
  std::unique_ptr<char[]> larger(new char[n]);
  if (size > 0) std::memcpy(larger.get(), storage.get(), size);
  storage = std::move(larger);
  capacity = n;
}

bool lockForWriting(TextFile& file) {
  if (file.fd_ < 0) return false;
  return flock(file.fd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
}

int descriptorOf(const TextFile& file) { return file.fd_; }

void readText(TextFile& file, TextFormat format, Text& text) { file.readText(format, text); }

void readText(TextFile& file, TextFormat format, Text& text, LineEnds& ends) {
  ends.kinds.clear();
  ends.last = false;
  file.recordLineEndsIn(&ends);
  file.readText(format, text);
  file.recordLineEndsIn(nullptr);
}

bool decodesAnsiAsUtf8(const TextFile& file) { return file.ansiIsUtf8_; }

std::unique_ptr<TextFile> writeToDescriptor(int fd, std::string_view charset) {
  auto file = TextFile::borrowing(fd);
  if (!charset.empty()) file->useCharset(charset);
  return file;
}

TextFormat detectFormat(TextFile& file) { return file.detectFormat(); }

bool atEnd(TextFile& file) { return file.atEnd(); }

bool readLine(TextFile& file, TextFormat format, Text& line) { return file.readLine(format, line); }

Text readLine(TextFile& file, TextFormat format) {
  Text line;
  file.readLine(format, line);
  return line;
}

bool sawZeroUnit(const TextFile& file) { return file.sawZero_; }

bool readFailed(const TextFile& file) { return file.readError_; }

bool sawIncompleteUnit(const TextFile& file) { return file.incomplete_; }

bool sawIrreversibleBytes(const TextFile& file) { return file.irreversible_; }

// The file is locked before it is emptied, so a file that another holder has locked is left
// as it is and the creation fails.
std::unique_ptr<TextFile> createForWriting(const std::string& path, std::string_view charset) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || (flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) ||
      (S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0)) {
    ::close(fd);
    return nullptr;
  }
  auto file = std::make_unique<TextFile>(fd, true);
  if (!charset.empty()) file->useCharset(charset);
  return file;
}

void writeMark(TextFile& file, TextFormat format) {
  if (format == TextFormat::utf8) file.put("\xEF\xBB\xBF");
  else if (format == TextFormat::utf16le) file.put("\xFF\xFE");
}

void writeLine(TextFile& file, TextView text, TextFormat format) { file.writeLine(text, format); }

void writeText(TextFile& file, TextView text, TextFormat format) { file.writeText(text, format); }

void writeBytes(TextFile& file, std::string_view bytes) { file.put(bytes); }

bool closeFile(TextFile& file) { return file.close(); }

void tapWrittenBytes(TextFile& file, ByteTap tap) { file.tap_ = std::move(tap); }

void std::default_delete<TextFile>::operator()(TextFile* file) const noexcept { delete file; }

bool charsetIsAvailable(const std::string& codeset) {
  const iconv_t probe = iconv_open(nativeUtf16, codeset.c_str());
  if (probe == noConverter) return false;
  iconv_close(probe);
  return true;
}
