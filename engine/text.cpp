#include "engine/text.h"

#include <array>
#include <atomic>
#include <charconv>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <langinfo.h>
#include <limits>
#include <mutex>
#include <type_traits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

constexpr char16_t firstSurrogate = 0xD800;
constexpr char16_t lastSurrogate = 0xDFFF;
constexpr char16_t firstEscapedByte = 0xDC80;  // byte 0x80
constexpr char16_t lastEscapedByte = 0xDCFF;   // byte 0xFF

bool isSurrogate(char32_t unit) { return unit >= firstSurrogate && unit <= lastSurrogate; }

// ---------------------------------------------------------------------------------------
// Lower-case table: towlower() of every UTF-16 code unit under the current LC_CTYPE, built
// on first use and again after useUtf8Locale() changed the locale.

std::array<char16_t, 65536> lowerTable;
std::atomic<bool> lowerTableReady{false};
std::mutex lowerTableMutex;

void buildLowerTable() {
  std::lock_guard<std::mutex> guard(lowerTableMutex);
  if (lowerTableReady.load(std::memory_order_acquire)) return;
  for (char32_t unit = 0; unit < 65536; ++unit) {
    char16_t mapped = static_cast<char16_t>(unit);
    if (!isSurrogate(unit)) {
      wint_t lower = std::towlower(static_cast<wint_t>(unit));
      // A mapping that leaves the single-unit range cannot be applied to one unit.
      if (lower <= 0xFFFF && !isSurrogate(lower)) mapped = static_cast<char16_t>(lower);
    }
    lowerTable[unit] = mapped;
  }
  lowerTableReady.store(true, std::memory_order_release);
}

const std::array<char16_t, 65536>& lowerUnits() {
  if (!lowerTableReady.load(std::memory_order_acquire)) buildLowerTable();
  return lowerTable;
}

// The first index i in [from, last] with data[i] == first and data[i + span] == final, or
// last + 1. Eight positions at a time where SSE2 is there.
size_t nextCandidate(const char16_t* data, size_t from, size_t last, char16_t first, char16_t final,
                     size_t span) {
  size_t i = from;
#ifdef __SSE2__
  const __m128i wantFirst = _mm_set1_epi16(static_cast<short>(first));
  const __m128i wantFinal = _mm_set1_epi16(static_cast<short>(final));
  for (; i <= last && last - i >= 7; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + span));
    const int mask = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(a, wantFirst), _mm_cmpeq_epi16(b, wantFinal)));
    if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
  }
#endif
  for (; i <= last; ++i)
    if (data[i] == first && data[i + span] == final) return i;
  return last + 1;
}

struct Identity {
  char16_t operator()(char16_t unit) const { return unit; }
};

// ---------------------------------------------------------------------------------------
// Substring search in linear time (Knuth-Morris-Pratt), with every code unit of the text
// and of the pattern passed through `map` first. While no partial match is pending the
// scan runs a tight loop looking for the pattern's first unit only.

class Searcher {
 public:
  template <class Map>
  Searcher(TextView pattern, Map map) {
    pattern_.resize(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) pattern_[i] = map(pattern[i]);
    // failure_[i]: length of the longest proper border of pattern_[0..i].
    failure_.assign(pattern_.size(), 0);
    size_t k = 0;
    for (size_t i = 1; i < pattern_.size(); ++i) {
      while (k > 0 && pattern_[i] != pattern_[k]) k = failure_[k - 1];
      if (pattern_[i] == pattern_[k]) ++k;
      failure_[i] = k;
    }
  }

  size_t size() const { return pattern_.size(); }

  // Index of the first occurrence at or after `from`, or npos.
  template <class Map>
  size_t find(TextView text, size_t from, Map map) const {
    const size_t n = text.size();
    const size_t m = pattern_.size();
    if (m == 0 || from > n || n - from < m) return TextView::npos;
    const char16_t first = pattern_[0];
    const char16_t* data = text.data();
    size_t matched = 0;
    size_t i = from;
    while (i < n) {
      if (matched == 0) {
        if constexpr (std::is_same_v<Map, Identity>) {
          // No partial match is pending, so the next occurrence starts at the next place
          // that has the pattern's first unit there and its last unit m - 1 further on.
          if (n - i < m) return TextView::npos;
          i = nextCandidate(data, i, n - m, first, pattern_[m - 1], m - 1);
        } else {
          while (i < n && map(data[i]) != first) ++i;
        }
        if (i >= n) break;
        if (n - i < m) return TextView::npos;
        matched = 1;
        ++i;
      } else {
        const char16_t unit = map(data[i]);
        while (matched > 0 && unit != pattern_[matched]) matched = failure_[matched - 1];
        if (unit == pattern_[matched]) ++matched;
        ++i;
      }
      if (matched == m) return i - m;
    }
    return TextView::npos;
  }

 private:
  Text pattern_;
  std::vector<size_t> failure_;
};

struct LowerCase {
  const std::array<char16_t, 65536>& table;
  char16_t operator()(char16_t unit) const { return table[unit]; }
};

bool isSeparator(char16_t unit) { return unit == u'\\' || unit == u'/'; }

// ---------------------------------------------------------------------------------------
// UTF-8 helpers.

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Appends the UTF-8 form of one code point (never a surrogate) to out.
char* putCodePoint(char* out, char32_t cp) {
  if (cp < 0x80) {
    *out++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *out++ = static_cast<char>(0xC0 | (cp >> 6));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (cp >> 12));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (cp >> 18));
    *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return out;
}

constexpr uint64_t highBits = 0x8080808080808080ull;

}  // namespace

int64_t textLength(TextView text) { return static_cast<int64_t>(text.size()); }

size_t findTextFrom(TextView text, TextView pattern, size_t from, int mode) {
  if (pattern.empty() || from >= text.size()) return TextView::npos;
  if (mode == 1) {
    const LowerCase lower{lowerUnits()};
    return Searcher(pattern, lower).find(text, from, lower);
  }
  return Searcher(pattern, Identity{}).find(text, from, Identity{});
}

void forEachOccurrence(TextView text, TextView pattern, int mode, const std::function<void(size_t)>& found) {
  if (pattern.empty()) return;
  const auto each = [&](const auto& map) {
    const Searcher searcher(pattern, map);
    for (size_t at = searcher.find(text, 0, map); at != TextView::npos; at = searcher.find(text, at + pattern.size(), map))
      found(at);
  };
  if (mode == 1) each(LowerCase{lowerUnits()});
  else each(Identity{});
}

int32_t findText(TextView text, TextView pattern, int32_t start, int mode) {
  if (start <= 0) start = 1;
  const size_t found = findTextFrom(text, pattern, static_cast<size_t>(start) - 1, mode);
  // A position that does not fit the 32-bit result cannot be reported.
  if (found == TextView::npos || found >= static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    return 0;
  return static_cast<int32_t>(found + 1);
}

size_t appendReplacingAll(TextView text, TextView find, TextView replacement, Text& out) {
  if (find.empty()) return 0;
  const Searcher searcher(find, Identity{});
  size_t done = 0;
  size_t hit = searcher.find(text, 0, Identity{});
  if (hit == TextView::npos) return 0;
  size_t count = 0;
  out.reserve(out.size() + text.size() +
              (replacement.size() > find.size() ? replacement.size() - find.size() : 0));
  while (hit != TextView::npos) {
    ++count;
    out.append(text.data() + done, hit - done);
    out.append(replacement);
    done = hit + find.size();
    hit = searcher.find(text, done, Identity{});
  }
  out.append(text.data() + done, text.size() - done);
  return count;
}

size_t replaceAllInPlace(Text& text, TextView find, TextView replacement) {
  if (find.empty() || replacement.size() > find.size()) return 0;
  const Searcher searcher(find, Identity{});
  size_t hit = searcher.find(text, 0, Identity{});
  if (hit == TextView::npos) return 0;
  size_t count = 0;
  char16_t* const data = text.data();
  // The text up to put is final; the search reads only from done on, and put never passes
  // done because no replacement is longer than what it replaces.
  size_t put = hit;
  size_t done = hit;
  while (hit != TextView::npos) {
    ++count;
    if (put != done) std::memmove(data + put, data + done, (hit - done) * sizeof(char16_t));
    put += hit - done;
    std::memcpy(data + put, replacement.data(), replacement.size() * sizeof(char16_t));
    put += replacement.size();
    done = hit + find.size();
    hit = searcher.find(text, done, Identity{});
  }
  if (put != done) std::memmove(data + put, data + done, (text.size() - done) * sizeof(char16_t));
  text.resize(put + (text.size() - done));
  return count;
}

Text replaceAll(TextView text, TextView find, TextView replacement) {
  Text out;
  if (!appendReplacingAll(text, find, replacement, out)) return Text(text);
  return out;
}

char16_t lowerCaseUnit(char16_t unit) { return lowerUnits()[unit]; }

Text lowerCase(TextView text) {
  Text out(text.size(), u'\0');
  lowerCaseInto(text, out.data());
  return out;
}

void lowerCaseInto(TextView text, char16_t* out) {
  const auto& table = lowerUnits();
  for (size_t i = 0; i < text.size(); ++i) out[i] = table[text[i]];
}

Text fileNamePart(TextView path, bool withoutExtension) { return Text(fileNameView(path, withoutExtension)); }

TextView fileNameView(TextView path, bool withoutExtension) {
  if (!path.empty() && path.front() == u'"') path.remove_prefix(1);
  const size_t last = path.find_last_of(u"\\/");
  TextView name = last == TextView::npos ? path : path.substr(last + 1);
  const size_t quote = name.find(u'"');
  if (quote != TextView::npos) name = name.substr(0, quote);
  if (withoutExtension) {
    // Backwards from the last unit; the first unit is never examined, so '.profile' stays.
    for (size_t i = name.size(); i-- > 1;) {
      if (name[i] == u' ') break;
      if (name[i] == u'.') {
        if (i + 1 < name.size()) name = name.substr(0, i);
        break;
      }
    }
  }
  return name;
}

Text extensionPart(TextView path) { return Text(extensionView(path)); }

TextView extensionView(TextView path) {
  for (size_t i = path.size(); i-- > 0;) {
    const char16_t unit = path[i];
    if (unit == u' ' || isSeparator(unit)) return TextView();
    if (unit == u'.') {
      if (i == 0 || isSeparator(path[i - 1])) return TextView();
      TextView extension = path.substr(i + 1);
      const size_t quote = extension.find(u'"');
      if (quote != TextView::npos) extension = extension.substr(0, quote);
      return extension;
    }
  }
  return TextView();
}

Text numberToText(int64_t n) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, n);
  return Text(digits, result.ptr);
}

// Decimal numbers beyond the 64-bit range stop at the largest or smallest value; "$" and
// "%" numbers are bit patterns and keep their lowest 64 bits ("$FFFFFFFFFFFFFFFF" is -1).
int64_t textToNumber(TextView text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  uint64_t value = 0;
  if (i < text.size() && (text[i] == u'$' || text[i] == u'%')) {
    const bool hex = text[i] == u'$';
    for (++i; i < text.size(); ++i) {
      const char16_t unit = text[i];
      unsigned digit;
      if (unit >= u'0' && unit <= u'9') digit = unit - u'0';
      else if (hex && unit >= u'a' && unit <= u'f') digit = unit - u'a' + 10;
      else if (hex && unit >= u'A' && unit <= u'F') digit = unit - u'A' + 10;
      else break;
      if (!hex && digit > 1) break;
      value = hex ? (value << 4) | digit : (value << 1) | digit;
    }
    return static_cast<int64_t>(negative ? 0 - value : value);
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const unsigned digit = text[i] - u'0';
    if (value > (limit - digit) / 10) {
      value = limit;
      break;
    }
    value = value * 10 + digit;
  }
  if (negative) return value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min()
                                                    : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

void appendTextFromUtf8(std::string_view bytes, Text& out) {
  const size_t oldSize = out.size();
  // Never more code units than bytes: 4-byte sequences give 2 units, all others 1.
  out.resize(oldSize + bytes.size());
  char16_t* const end = decodeUtf8Into(bytes, out.data() + oldSize);
  out.resize(static_cast<size_t>(end - out.data()));
}

char16_t* decodeUtf8Into(std::string_view bytes, char16_t* d) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned char* const e = s + bytes.size();
  while (s < e) {
#ifdef __SSE2__
    // Sixteen ASCII bytes at a time.
    while (e - s >= 16) {
      const __m128i bytes16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      if (_mm_movemask_epi8(bytes16) != 0) break;
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(bytes16, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(bytes16, zero));
      s += 16;
      d += 16;
    }
#endif
    while (e - s >= 8) {
      uint64_t word;
      std::memcpy(&word, s, 8);
      if (word & highBits) break;
      for (int k = 0; k < 8; ++k) d[k] = s[k];
      s += 8;
      d += 8;
    }
    if (s == e) break;
    const unsigned c = *s;
    if (c < 0x80) {
      *d++ = static_cast<char16_t>(c);
      ++s;
      continue;
    }
    const size_t left = static_cast<size_t>(e - s);
    if (c >= 0xC2 && c <= 0xDF) {
      if (left >= 2 && isContinuation(s[1])) {
        *d++ = static_cast<char16_t>(((c & 0x1F) << 6) | (s[1] & 0x3F));
        s += 2;
        continue;
      }
    } else if (c >= 0xE0 && c <= 0xEF) {
      // E0 needs A0..BF next (no overlong form); ED needs 80..9F (no surrogates).
      const unsigned low = c == 0xE0 ? 0xA0 : 0x80;
      const unsigned high = c == 0xED ? 0x9F : 0xBF;
      if (left >= 3 && s[1] >= low && s[1] <= high && isContinuation(s[2])) {
        *d++ = static_cast<char16_t>(((c & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F));
        s += 3;
        continue;
      }
    } else if (c >= 0xF0 && c <= 0xF4) {
      // F0 needs 90..BF next (no overlong form); F4 needs 80..8F (at most U+10FFFF).
      const unsigned low = c == 0xF0 ? 0x90 : 0x80;
      const unsigned high = c == 0xF4 ? 0x8F : 0xBF;
      if (left >= 4 && s[1] >= low && s[1] <= high && isContinuation(s[2]) &&
          isContinuation(s[3])) {
        const char32_t cp = ((c & 0x07) << 18) | ((s[1] & 0x3F) << 12) | ((s[2] & 0x3F) << 6) |
                            (s[3] & 0x3F);
        *d++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        *d++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        s += 4;
        continue;
      }
    }
    // Not the start of a valid sequence: keep the byte as an escape unit.
    *d++ = static_cast<char16_t>(0xDC00 + c);
    ++s;
  }
  return d;
}

Text textFromUtf8(std::string_view bytes) {
  Text out;
  appendTextFromUtf8(bytes, out);
  return out;
}

// A unit U+DC80..U+DCFF that is not the second half of a surrogate pair goes back to the
// byte 80..FF it stands for. Any other lone surrogate has no UTF-8 form and is written as
// "?".
void appendTextToUtf8(TextView text, std::string& out) {
  const size_t oldSize = out.size();
  // At most 3 bytes per unit (a pair takes 4 bytes for 2 units).
  out.resize(oldSize + text.size() * 3);
  char* d = out.data() + oldSize;
  const char16_t* s = text.data();
  const char16_t* const e = s + text.size();
  while (s < e) {
#ifdef __SSE2__
    // Eight ASCII units at a time.
    const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
    while (e - s >= 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), _mm_setzero_si128())) != 0xFFFF)
        break;
      _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(units, units));
      s += 8;
      d += 8;
    }
#endif
    while (e - s >= 4 && (s[0] | s[1] | s[2] | s[3]) < 0x80) {
      d[0] = static_cast<char>(s[0]);
      d[1] = static_cast<char>(s[1]);
      d[2] = static_cast<char>(s[2]);
      d[3] = static_cast<char>(s[3]);
      d += 4;
      s += 4;
    }
    if (s == e) break;
    const char16_t unit = *s++;
    if (!isSurrogate(unit)) {
      d = putCodePoint(d, unit);
    } else if (unit < 0xDC00 && s < e && *s >= 0xDC00 && *s <= lastSurrogate) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (*s - 0xDC00);
      ++s;
      d = putCodePoint(d, cp);
    } else if (unit >= firstEscapedByte && unit <= lastEscapedByte) {
      *d++ = static_cast<char>(unit - 0xDC00);
    } else {
      *d++ = '?';
    }
  }
  out.resize(static_cast<size_t>(d - out.data()));
}

std::string textToUtf8(TextView text) {
  std::string out;
  appendTextToUtf8(text, out);
  return out;
}

namespace {

// Upper-case letters and digits of a character set name, without "-" and "_".
std::string normalizedCodeset(const char* codeset) {
  std::string name;
  for (const char* p = codeset ? codeset : ""; *p; ++p) {
    if (*p == '-' || *p == '_') continue;
    name += static_cast<char>(*p >= 'a' && *p <= 'z' ? *p - 'a' + 'A' : *p);
  }
  return name;
}

}  // namespace

bool isUtf8Codeset(const char* codeset) {
  const std::string name = normalizedCodeset(codeset);
  return name.empty() || name == "UTF8" || name == "ANSIX3.41968" || name == "ASCII" ||
         name == "USASCII" || name == "C" || name == "POSIX";
}

std::string localeCharset() {
  // A locale object of its own: the process's LC_CTYPE (which start-up puts on UTF-8 for
  // the letter-case mapping) is neither read nor changed.
  const locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return "UTF-8";
  const char* codeset = nl_langinfo_l(CODESET, locale);
  std::string name = codeset != nullptr && !isUtf8Codeset(codeset) ? std::string(codeset) : std::string("UTF-8");
  freelocale(locale);
  return name;
}

void useUtf8Locale() {
  std::setlocale(LC_CTYPE, "");
  if (normalizedCodeset(nl_langinfo(CODESET)) != "UTF8") std::setlocale(LC_CTYPE, "C.UTF-8");
  std::lock_guard<std::mutex> guard(lowerTableMutex);
  lowerTableReady.store(false, std::memory_order_release);
}
