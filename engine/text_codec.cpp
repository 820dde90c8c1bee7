#include "engine/text_codec.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

namespace {

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);
const char* const nativeUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

}  // namespace

// ---- Formats and units ------------------------------------------------------------------

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

char32_t unitAt(const char* bytes, size_t unitSize, bool bigEndian) {
  const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
  if (unitSize == 2)
    return bigEndian ? (char32_t{b[0]} << 8) | b[1] : (char32_t{b[1]} << 8) | b[0];
  return bigEndian ? (char32_t{b[0]} << 24) | (char32_t{b[1]} << 16) | (char32_t{b[2]} << 8) | b[3]
                   : (char32_t{b[3]} << 24) | (char32_t{b[2]} << 16) | (char32_t{b[1]} << 8) | b[0];
}

void appendUnits(const char* bytes, size_t count, size_t unitSize, bool bigEndian, Text& line) {
  if (unitSize == 2) {
    const size_t old = line.size();
    line.resize(old + count);
    if (!bigEndian && std::endian::native == std::endian::little) {
      std::memcpy(line.data() + old, bytes, count * 2);
    } else {
      for (size_t k = 0; k < count; ++k)
        line[old + k] = static_cast<char16_t>(unitAt(bytes + 2 * k, 2, bigEndian));
    }
    return;
  }
  for (size_t k = 0; k < count; ++k) {
    const char32_t cp = unitAt(bytes + 4 * k, 4, bigEndian);
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      line.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      line.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      line.push_back(cp > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(cp));
    }
  }
}

// ---- The ansi character set ---------------------------------------------------------------

AnsiCodec::AnsiCodec(std::string_view name) : decoder_(noConverter), encoder_(noConverter) { use(name); }

AnsiCodec::~AnsiCodec() {
  if (decoder_ != noConverter) iconv_close(decoder_);
  if (encoder_ != noConverter) iconv_close(encoder_);
}

void AnsiCodec::use(std::string_view name) {
  codeset_ = name.empty() ? std::string("UTF-8") : std::string(name);
  isUtf8_ = isUtf8Codeset(codeset_.c_str());
  if (decoder_ != noConverter) iconv_close(decoder_);
  if (encoder_ != noConverter) iconv_close(encoder_);
  decoder_ = encoder_ = noConverter;
}

bool AnsiCodec::decode(std::string_view bytes, Text& line) {
  if (table_ != nullptr) return table_->decode(bytes, line);
  if (isUtf8_) {
    appendTextFromUtf8(bytes, line);
    return true;
  }
  if (decoder_ == noConverter) decoder_ = iconv_open(nativeUtf16, codeset_.c_str());
  if (decoder_ == noConverter) {
    appendTextFromUtf8(bytes, line);
    return true;
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
  check_.clear();
  encode(TextView(line).substr(old), check_);
  const bool reversible = check_ == bytes;
  check_.clear();
  return reversible;
}

// A lone U+DC00..U+DCFF goes back to its byte; the runs between them convert through iconv.
void AnsiCodec::encode(TextView text, std::string& out) {
  if (table_ != nullptr && table_->encode(text, out)) return;
  if (isUtf8_) {
    appendTextToUtf8(text, out);
    return;
  }
  if (encoder_ == noConverter) encoder_ = iconv_open(codeset_.c_str(), nativeUtf16);
  if (encoder_ == noConverter) {
    appendTextToUtf8(text, out);
    return;
  }
  size_t runStart = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    const bool escape = i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDCFF &&
                        !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
    if (i < text.size() && !escape) continue;
    encodeRun(text.substr(runStart, i - runStart), out);
    if (escape) out.push_back(static_cast<char>(text[i] - 0xDC00));
    runStart = i + 1;
  }
}

void AnsiCodec::encodeRun(TextView run, std::string& out) {
  if (run.empty()) return;
  iconv(encoder_, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(reinterpret_cast<const char*>(run.data()));
  size_t inLeft = run.size() * 2;
  size_t used = out.size();
  out.resize(used + run.size() * 4 + 16);
  for (;;) {
    char* outPtr = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t result = iconv(encoder_, &in, &inLeft, &outPtr, &outLeft);
    used = out.size() - outLeft;
    if (result != static_cast<size_t>(-1)) {
      outPtr = out.data() + used;
      iconv(encoder_, nullptr, nullptr, &outPtr, &outLeft);  // end any shift state
      used = out.size() - outLeft;
      break;
    }
    if (errno == E2BIG) {
      out.resize(out.size() * 2 + 16);
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
    if (used == out.size()) out.resize(out.size() * 2 + 16);
    out[used++] = '?';
    in += skip;
    inLeft -= skip;
    if (inLeft == 0) break;
  }
  out.resize(used);
}

// ---- A single-byte set's table ----------------------------------------------------------

std::unique_ptr<const SingleByteTable> SingleByteTable::make(const std::string& codeset) {
  if (codeset.empty() || isUtf8Codeset(codeset.c_str()) || !charsetIsAvailable(codeset)) return nullptr;
  // A byte that iconv takes for the beginning of a longer sequence makes a set of several
  // bytes per character.
  const iconv_t probe = iconv_open(nativeUtf16, codeset.c_str());
  if (probe == noConverter) return nullptr;
  bool leadByte = false;
  for (unsigned byte = 0; byte < 256 && !leadByte; ++byte) {
    char in[1] = {static_cast<char>(byte)};
    char16_t units[4];
    char* inPtr = in;
    size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(units);
    size_t outLeft = sizeof units;
    iconv(probe, nullptr, nullptr, nullptr, nullptr);
    leadByte = iconv(probe, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) && errno == EINVAL;
  }
  iconv_close(probe);
  if (leadByte) return nullptr;
  std::unique_ptr<SingleByteTable> table(new SingleByteTable());
  AnsiCodec codec(codeset);
  std::string all;
  Text character;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char b = static_cast<char>(byte);
    character.clear();
    table->reversible_[byte] = codec.decode(std::string_view(&b, 1), character);
    // A byte that begins a longer sequence, changes a shift state or gives a pair of units
    // makes the set one that is not read a byte at a time.
    if (character.size() != 1 || (character[0] >= 0xD800 && character[0] <= 0xDBFF)) return nullptr;
    table->characters_[byte] = character[0];
    all.push_back(b);
  }
  // Each byte decodes the same among others as alone, forwards and backwards.
  for (int pass = 0; pass < 2; ++pass) {
    Text line;
    codec.decode(all, line);
    if (line.size() != all.size()) return nullptr;
    for (size_t i = 0; i < all.size(); ++i) {
      if (line[i] != table->characters_[static_cast<unsigned char>(all[i])]) return nullptr;
    }
    std::reverse(all.begin(), all.end());
  }
  // Each character a byte decodes to is encoded as iconv encodes it.
  table->bytes_.assign(0x10000, -1);
  std::string encoded;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char16_t unit = table->characters_[byte];
    if (unit >= 0xDC00 && unit <= 0xDCFF) continue;  // an escape encodes to its byte
    encoded.clear();
    codec.encode(TextView(&unit, 1), encoded);
    if (encoded.size() == 1) table->bytes_[unit] = static_cast<unsigned char>(encoded[0]);
  }
  table->byteExact_ = true;
  for (unsigned byte = 0; byte < 256; ++byte) {
    const char16_t unit = table->characters_[byte];
    const bool lineEndOrZero = unit == u'\r' || unit == u'\n' || unit == 0;
    const bool escape = unit >= 0xDC00 && unit <= 0xDCFF;
    const bool back = escape || table->bytes_[unit] == static_cast<int16_t>(byte);
    const bool ascii = byte == '\r' || byte == '\n' || byte == 0;
    if (!table->reversible_[byte] || !back || lineEndOrZero != ascii || (ascii && unit != byte))
      table->byteExact_ = false;
  }
  return table;
}

bool SingleByteTable::decode(std::string_view bytes, Text& line) const {
  const size_t old = line.size();
  line.resize(old + bytes.size());
  char16_t* out = line.data() + old;
  bool reversible = true;
  for (const char b : bytes) {
    const unsigned char byte = static_cast<unsigned char>(b);
    *out++ = characters_[byte];
    reversible = reversible && reversible_[byte];
  }
  return reversible;
}

bool SingleByteTable::encode(TextView text, std::string& out) const {
  const size_t old = out.size();
  out.resize(old + text.size());
  char* to = out.data() + old;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    // A lone U+DC00..U+DCFF goes back to its byte, as in AnsiCodec::encode.
    const bool escape = unit >= 0xDC00 && unit <= 0xDCFF && !(i > 0 && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
    const int16_t byte = escape ? static_cast<int16_t>(unit - 0xDC00) : bytes_[unit];
    if (byte < 0) {
      out.resize(old);
      return false;
    }
    *to++ = static_cast<char>(byte);
  }
  return true;
}

// ---- A format's bytes -------------------------------------------------------------------

bool decodeBytes(TextFormat format, std::string_view bytes, AnsiCodec& codec, Text& line) {
  if (format == TextFormat::utf8) {
    appendTextFromUtf8(bytes, line);
    return true;
  }
  return codec.decode(bytes, line);
}

void encodeText(TextView text, TextFormat format, AnsiCodec& codec, std::string& out) {
  if (format == TextFormat::utf16le) {
    const size_t old = out.size();
    out.resize(old + text.size() * 2);
    unsigned char* d = reinterpret_cast<unsigned char*>(out.data() + old);
    for (const char16_t unit : text) {
      *d++ = static_cast<unsigned char>(unit & 0xFF);
      *d++ = static_cast<unsigned char>(unit >> 8);
    }
  } else if (format == TextFormat::utf8) {
    appendTextToUtf8(text, out);
  } else {
    codec.encode(text, out);
  }
}

// ---- The character set of files opened without one ---------------------------------------

bool charsetIsAvailable(const std::string& codeset) {
  const iconv_t probe = iconv_open(nativeUtf16, codeset.c_str());
  if (probe == noConverter) return false;
  iconv_close(probe);
  return true;
}
