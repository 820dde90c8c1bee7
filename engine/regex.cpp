// The regular-expression service over PCRE2's 16-bit library, working on the UTF-16 texts
// directly, so every offset PCRE2 reports is already a UTF-16 code-unit offset.
//
// Texts may hold lone surrogates (bytes that were not UTF-8 come in as U+DC80..U+DCFF, and
// pasted text can hold anything). PCRE2 is never shown one: the subject given to the library
// has each lone surrogate replaced by the noncharacter U+FFFF, which is one code unit as
// well, so offsets stay those of the caller's text and matched texts are cut from the
// caller's text, surrogates and all. A lone surrogate therefore behaves like any other
// character that is no letter, digit or space (a '.', '\W' or '[^x]' matches it) instead of
// being a barrier no match can cross, while a U+FFFD in the pattern, in whatever spelling,
// still matches only a real U+FFFD of the text. U+FFFF is meant never to stand in a text,
// so nobody looks for it; every subject PCRE2 sees is valid UTF-16.
//
// Patterns are compiled with PCRE2_UTF | PCRE2_MATCH_INVALID_UTF and JIT-compiled. When JIT
// is not available for a pattern, it is compiled again without PCRE2_MATCH_INVALID_UTF and
// matched by the interpreter with PCRE2_NO_UTF_CHECK: with PCRE2_MATCH_INVALID_UTF the
// interpreter looks over the rest of the subject on every call, which makes a run over many
// matches quadratic; the check is not needed since the subject is known to be valid.
//
// A compiled pattern is never changed, so any number of threads match it at once; all that
// a match changes (match data, the JIT stack, the iteration) is a Matcher's, one per caller.

#include "engine/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include "engine/regex_common.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

using regex_common::depthLimit;
using regex_common::heapLimitKiB;
using regex_common::jitStackMax;
using regex_common::jitStackStart;
using regex_common::matchLimit;

// What the library sees in place of a lone surrogate.
constexpr char16_t surrogateStandIn = 0xFFFF;

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

PCRE2_SPTR16 libraryText(const char16_t* text) { return reinterpret_cast<PCRE2_SPTR16>(text); }

Text errorMessage(int code) {
  std::array<PCRE2_UCHAR16, 256> buffer{};
  int length = pcre2_get_error_message(code, buffer.data(), buffer.size());
  if (length < 0) {
    // A truncated message is still terminated; anything else is an unknown code.
    if (length != PCRE2_ERROR_NOMEMORY) return Text();
    length = 0;
    while (static_cast<std::size_t>(length) < buffer.size() && buffer[length] != 0) ++length;
  }
  return Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(length));
}

// Characters that stand for themselves wherever they are outside a class, in a pattern
// compiled without the extended option.
bool isPlainLiteral(char16_t unit) {
  if (unit >= 0x80) return !isHighSurrogate(unit) && !isLowSurrogate(unit) && unit != surrogateStandIn;
  if ((unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9'))
    return true;
  return Text(u" _-,;:!\"'%&=<>/@~`#").find(unit) != Text::npos;
}

// Position of the first lone surrogate, or text.size() when there is none.
std::size_t firstLoneSurrogate(TextView text, std::size_t from = 0) {
  std::size_t i = from;
  while (i < text.size()) {
#ifdef __SSE2__
    // Eight units at a time past those that are no surrogate at all.
    if (text.size() - i >= 8) {
      const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
      const __m128i high5 = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xF800)));
      if (_mm_movemask_epi8(_mm_cmpeq_epi16(high5, _mm_set1_epi16(static_cast<short>(0xD800)))) == 0) {
        i += 8;
        continue;
      }
    }
#endif
    char16_t unit = text[i];
    if (isHighSurrogate(unit)) {
      if (i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
        i += 2;
        continue;
      }
      return i;
    }
    if (isLowSurrogate(unit)) return i;
    ++i;
  }
  return text.size();
}

// Fills `cleaned` with text whose lone surrogates are the stand-in and returns true, or returns
// false (leaving `cleaned` alone) when text has none and can be given to PCRE2 as it is.
bool replaceLoneSurrogates(TextView text, Text& cleaned) {
  std::size_t at = firstLoneSurrogate(text);
  if (at == text.size()) return false;
  cleaned.assign(text);
  while (at < cleaned.size()) {
    cleaned[at] = surrogateStandIn;
    at = firstLoneSurrogate(cleaned, at + 1);
  }
  return true;
}

// The offset one character after `at`: past a whole surrogate pair, else one code unit.
std::size_t nextCharacter(TextView text, std::size_t at) {
  if (at + 1 < text.size() && isHighSurrogate(text[at]) && isLowSurrogate(text[at + 1]))
    return at + 2;
  return at + 1;
}

pcre2_code* compileWith(TextView pattern, uint32_t options, uint32_t newline, int& errorCode) {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  if (context == nullptr) {
    errorCode = PCRE2_ERROR_NOMEMORY;
    return nullptr;
  }
  // Set the line end in any case, so that PCRE2's build default does not matter.
  pcre2_set_newline(context, newline);
  PCRE2_SIZE errorOffset = 0;
  pcre2_code* code = pcre2_compile(libraryText(pattern.data()), pattern.size(), options,
                                   &errorCode, &errorOffset, context);
  pcre2_compile_context_free(context);
  return code;
}

bool usesJit(pcre2_code* code) {
  if (pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) != 0) return false;
  // A pattern starting with (*NO_JIT) "succeeds" without machine code.
  std::size_t jitSize = 0;
  return pcre2_pattern_info(code, PCRE2_INFO_JITSIZE, &jitSize) == 0 && jitSize > 0;
}

// The whole-match offsets of match data; an end before the start (possible only with \K in
// a lookaround) counts as an empty match at the start.
void matchBounds(pcre2_match_data* data, std::size_t& begin, std::size_t& end) {
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data);
  begin = ovector[0];
  end = std::max(ovector[0], ovector[1]);
}


}  // namespace

Pattern::~Pattern() { pcre2_code_free(code_); }

CompiledPattern compilePattern(TextView pattern, uint32_t flags) {
  uint32_t options = 0;
  uint32_t lineEnds = 0;
  regex_common::compileOptions(flags, options, lineEnds);

  CompiledPattern result;
  int errorCode = 0;
  pcre2_code* code = compileWith(pattern, options | PCRE2_MATCH_INVALID_UTF, lineEnds, errorCode);
  if (code == nullptr) {
    result.error = errorMessage(errorCode);
    return result;
  }
  uint32_t matchOptions = 0;
  if (!usesJit(code)) {
    pcre2_code_free(code);
    code = compileWith(pattern, options, lineEnds, errorCode);
    if (code == nullptr) {
      result.error = errorMessage(errorCode);
      return result;
    }
    matchOptions = PCRE2_NO_UTF_CHECK;  // subjects given to PCRE2 are valid UTF-16
  }

  std::shared_ptr<Pattern> compiled(new (std::nothrow) Pattern());
  if (compiled == nullptr) {
    pcre2_code_free(code);
    result.error = errorMessage(PCRE2_ERROR_NOMEMORY);
    return result;
  }
  compiled->code_ = code;
  compiled->matchOptions_ = matchOptions;
  compiled->lastLineEnd_ = (flags & lastLineEnd) != 0;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &compiled->groupCount_);
  // The pattern itself may choose its line ends, e.g. with (*CRLF).
  uint32_t newline = 0;
  pcre2_pattern_info(code, PCRE2_INFO_NEWLINE, &newline);
  compiled->crLfIsNewline_ = regex_common::crLfIsNewline(newline);
  result.pattern = std::move(compiled);
  return result;
}

Text leadingLiteral(TextView pattern) {
  if (pattern.find(u'|') != TextView::npos) return Text();
  size_t run = 0;
  while (run < pattern.size() && isPlainLiteral(pattern[run])) ++run;
  // A quantifier after the run makes its last character optional or repeated. "\E", "\Q\E"
  // and "(?#...)" can stand between the character and its quantifier: 'ab\E?c' matches 'ac'.
  const TextView after = pattern.substr(run);
  if (run > 0 && !after.empty() &&
      (Text(u"?*+{").find(after.front()) != Text::npos || after.starts_with(u"\\E") ||
       after.starts_with(u"\\Q") || after.starts_with(u"(?")))
    --run;
  return Text(pattern.substr(0, run));
}

Matcher::~Matcher() {
  release();
  pcre2_jit_stack_free(jitStack_);
  pcre2_match_context_free(context_);
}

void Matcher::release() {
  pcre2_match_data_free(iterationData_);
  pcre2_match_data_free(oneShotData_);
  iterationData_ = nullptr;
  oneShotData_ = nullptr;
  pattern_.reset();
}

void Matcher::endIteration() {
  iterating_ = false;
  cleaned_ = false;
  next_ = 0;
  hasMatch_ = false;
  matchBegin_ = matchEnd_ = 0;
}

bool Matcher::use(std::shared_ptr<const Pattern> pattern) {
  endIteration();
  lastError_ = 0;
  if (pattern != nullptr && pattern == pattern_) return true;
  release();
  if (pattern == nullptr) return false;
  // One context and JIT stack serve every pattern: a stack serves one match at a time,
  // and a matcher makes one at a time.
  if (context_ == nullptr) {
    context_ = pcre2_match_context_create(nullptr);
    if (context_ == nullptr) return false;
    pcre2_set_match_limit(context_, matchLimit);
    pcre2_set_depth_limit(context_, depthLimit);
    pcre2_set_heap_limit(context_, heapLimitKiB);
    jitStack_ = pcre2_jit_stack_create(jitStackStart, jitStackMax, nullptr);
    if (jitStack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, jitStack_);
  }
  iterationData_ = pcre2_match_data_create_from_pattern(pattern->code_, nullptr);
  oneShotData_ = pcre2_match_data_create_from_pattern(pattern->code_, nullptr);
  if (iterationData_ == nullptr || oneShotData_ == nullptr) {
    release();
    return false;
  }
  pattern_ = std::move(pattern);
  return true;
}

// Runs the pattern on `text` (already free of lone surrogates) from `offset`; true on a
// match. Records an error other than "no match" in lastError_.
bool Matcher::run(TextView text, std::size_t offset, pcre2_match_data* data) {
  uint32_t options = pattern_->matchOptions_;
  if (pattern_->lastLineEnd_ && text.ends_with(u"\r\n")) options |= PCRE2_NOTEOL;
  int rc = pcre2_match(pattern_->code_, libraryText(text.data()), text.size(), offset, options, data, context_);
  if (rc >= 0) {
    lastError_ = 0;
    return true;
  }
  lastError_ = rc == PCRE2_ERROR_NOMATCH ? 0 : rc;
  return false;
}

bool Matcher::begin(TextView subject) {
  if (pattern_ == nullptr) return false;
  endIteration();
  lastError_ = 0;
  subject_.assign(subject);
  cleaned_ = replaceLoneSurrogates(subject_, cleanedSubject_);
  if (!cleaned_) cleanedSubject_.clear();
  iterating_ = true;
  return true;
}

bool Matcher::next() {
  if (pattern_ == nullptr || !iterating_) return false;
  hasMatch_ = false;
  lastError_ = 0;
  const TextView subject = subject_;
  if (next_ >= subject.size()) return false;

  const TextView searched = cleaned_ ? TextView(cleanedSubject_) : subject;
  if (!run(searched, next_, iterationData_)) return false;

  std::size_t begin = 0;
  std::size_t end = 0;
  matchBounds(iterationData_, begin, end);
  hasMatch_ = true;
  matchBegin_ = begin;
  matchEnd_ = end;
  // The next attempt starts after a non-empty match, or one character after an empty one
  // (so that an empty match is reported once and the iteration always moves on).
  next_ = regex_common::nextAttempt(subject, next_, begin, end, pattern_->crLfIsNewline_, nextCharacter);
  return true;
}

Text Matcher::group(int group) const {
  if (pattern_ == nullptr || !hasMatch_ || group < 1 || static_cast<uint32_t>(group) > pattern_->groupCount_)
    return Text();
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(iterationData_);
  PCRE2_SIZE begin = ovector[2 * group];
  PCRE2_SIZE end = ovector[2 * group + 1];
  if (begin == PCRE2_UNSET || end == PCRE2_UNSET || end < begin) return Text();
  return subject_.substr(begin, end - begin);
}

Text Matcher::errorText() const { return lastError_ == 0 ? Text() : errorMessage(lastError_); }

bool Matcher::matchesAnywhere(TextView subject) {
  if (pattern_ == nullptr) return false;
  Text cleaned;
  TextView searched = replaceLoneSurrogates(subject, cleaned) ? TextView(cleaned) : subject;
  return run(searched, 0, oneShotData_);
}
