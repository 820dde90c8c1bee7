#pragma once
// How the text of a file is stored as bytes: the formats a byte-order mark announces, the
// decoding of UTF-16 and UTF-32 units, and the "ansi" character set, converted through iconv.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>
#include <iconv.h>
#include <string>
#include <string_view>

#include "engine/text.h"

enum class TextFormat { ansi, utf8, utf16le, utf16be, utf32be, utf32le };

// The size of one unit of the format in bytes (1 for ansi and UTF-8), and its byte order.
size_t unitSizeOf(TextFormat format);
bool isBigEndian(TextFormat format);

// Units of 2 or 4 bytes: the one at bytes, and count of them appended to line as UTF-16
// (a UTF-32 unit beyond U+10FFFF becomes U+FFFD).
char32_t unitAt(const char* bytes, size_t unitSize, bool bigEndian);
void appendUnits(const char* bytes, size_t count, size_t unitSize, bool bigEndian, Text& line);

// The "ansi" character set of one open file and the conversions to and from it. UTF-8 (and
// the C locale's ASCII) use the lossless UTF-8 conversion of text.h; other sets convert
// through iconv, opened when first needed: a byte that does not convert is kept as
// U+DC00 + byte and written back unchanged, and a character the set cannot represent is
// written as "?". A set that iconv does not know is handled as UTF-8.
class SingleByteTable;
class AnsiCodec {
 public:
  // The set named (an iconv name); the empty name is UTF-8.
  explicit AnsiCodec(std::string_view name);
  ~AnsiCodec();
  AnsiCodec(const AnsiCodec&) = delete;
  AnsiCodec& operator=(const AnsiCodec&) = delete;

  void use(std::string_view name);
  // Decodes and encodes through table (made for the same set, and kept alive by the
  // caller) instead of iconv, with the same results; null: through iconv.
  void useTable(const SingleByteTable* table) { table_ = table; }
  bool isUtf8() const { return isUtf8_; }
  // Appends the decoded bytes to line. False when writing the decoded characters again
  // would not give the same bytes (the set maps other bytes to the same characters).
  bool decode(std::string_view bytes, Text& line);
  // Appends the text in the set's encoding to out.
  void encode(TextView text, std::string& out);

 private:
  void encodeRun(TextView run, std::string& out);

  std::string codeset_;
  bool isUtf8_ = true;
  iconv_t decoder_;
  iconv_t encoder_;
  std::string check_;  // decode's bytes encoded again
  const SingleByteTable* table_ = nullptr;
};

// The conversions of a single-byte set in which every byte decodes on its own, the same in
// any context, to one character (or to none, kept as U+DC00 + byte): its characters by
// byte and its bytes by character, made once through iconv (for a run, not per file), so
// that the set's files are decoded and encoded without iconv, with the same results.
class SingleByteTable {
 public:
  // Null for a set that is not such a set (UTF-8, several bytes per character, shift
  // states) or that iconv does not know.
  static std::unique_ptr<const SingleByteTable> make(const std::string& codeset);
  // As AnsiCodec::decode.
  bool decode(std::string_view bytes, Text& line) const;
  // As AnsiCodec::encode; false (and nothing appended) when the text holds a character
  // that no byte of the set decodes to, which iconv then encodes.
  bool encode(TextView text, std::string& out) const;
  // True when each byte decodes to a character that encodes back to that byte alone, and
  // CR, LF and zero are the ASCII bytes: then a plain text is replaced on a file's bytes
  // exactly as on its text.
  bool isByteExact() const { return byteExact_; }

 private:
  SingleByteTable() = default;
  bool byteExact_ = false;
  std::array<char16_t, 256> characters_{};
  std::array<bool, 256> reversible_{};  // the byte's character encodes back to it
  std::vector<int16_t> bytes_;          // by character: the byte it encodes to, or -1
};

// The bytes of a line in a one-byte format (ansi or UTF-8) appended to line; false as for
// AnsiCodec::decode.
bool decodeBytes(TextFormat format, std::string_view bytes, AnsiCodec& codec, Text& line);
// Appends the text in the format's encoding to out (UTF-16LE, UTF-8, or the ansi set).
void encodeText(TextView text, TextFormat format, AnsiCodec& codec, std::string& out);

// "ansi": the character set of files without a byte-order mark is the one each reader or
// writer is given (an iconv name such as "CP1252"; the program hands over the locale's,
// taken once at start-up, or the user's choice); the empty text is UTF-8, the default. The
// process's locale is never read for it.
// True when iconv converts between the character set and UTF-16 here.
bool charsetIsAvailable(const std::string& codeset);
