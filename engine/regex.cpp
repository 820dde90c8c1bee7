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
// Patterns are compiled on one thread while no other matches; once compiled, a slot's
// pattern is matched on any number of threads at once, each with match state of its own.

#include "engine/regex.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <algorithm>
#include <array>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Bounds that make runaway patterns such as '(a+)+$' end with an error in bounded time.
constexpr uint32_t matchLimit = 10'000'000;
constexpr uint32_t depthLimit = 1'000'000;
constexpr uint32_t heapLimitKiB = 256 * 1024;
constexpr PCRE2_SIZE jitStackStart = 32 * 1024;
constexpr PCRE2_SIZE jitStackMax = 8 * 1024 * 1024;

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

struct Limits {
  pcre2_match_context* context = nullptr;
  pcre2_jit_stack* jitStack = nullptr;

  Limits() {
    context = pcre2_match_context_create(nullptr);
    if (context == nullptr) return;
    pcre2_set_match_limit(context, matchLimit);
    pcre2_set_depth_limit(context, depthLimit);
    pcre2_set_heap_limit(context, heapLimitKiB);
    jitStack = pcre2_jit_stack_create(jitStackStart, jitStackMax, nullptr);
    if (jitStack != nullptr) pcre2_jit_stack_assign(context, nullptr, jitStack);
  }
  ~Limits() {
    pcre2_jit_stack_free(jitStack);
    pcre2_match_context_free(context);
  }
  Limits(const Limits&) = delete;
  Limits& operator=(const Limits&) = delete;
};

// Each thread matches with its own context and JIT stack: a stack serves one match at a time.
pcre2_match_context* matchContext() {
  static thread_local Limits limits;
  return limits.context;
}

// A slot's compiled pattern, shared by every thread that matches it.
struct Pattern {
  pcre2_code* code = nullptr;
  uint32_t groupCount = 0;
  uint32_t matchOptions = 0;
  bool crLfIsNewline = false;  // the pattern's line ends include CR LF
  bool lastLineEnd = false;    // a CR LF that ends a subject ends its last line
  uint64_t generation = 0;     // tells one compiled pattern from the next in this slot

  Pattern() = default;
  Pattern(const Pattern&) = delete;
  Pattern& operator=(const Pattern&) = delete;
  ~Pattern() { pcre2_code_free(code); }
};

std::array<Pattern, 3> patterns;
uint64_t compiledPatterns = 0;
Text lastCompileError;

// One thread's match state for a slot: its match data and its iteration.
struct Slot {
  const Pattern* pattern = nullptr;
  uint64_t generation = 0;  // the pattern generation the match data was made for
  // Separate match data for the iteration and for the one-shot operations, so that
  // matchesAnywhere and extractAll leave the current match of an iteration alone.
  pcre2_match_data* iterationData = nullptr;
  pcre2_match_data* oneShotData = nullptr;

  bool iterating = false;
  Text subject;          // the private copy of the subject
  Text cleanedSubject;   // the copy given to PCRE2 when subject has lone surrogates
  bool cleaned = false;
  std::size_t start = 0;
  bool hasMatch = false;
  std::size_t matchBegin = 0;
  std::size_t matchEnd = 0;

  int lastError = 0;  // the last match attempt's error code, 0 when it did not fail

  Slot() = default;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  ~Slot() { clear(); }

  void clear() {
    pcre2_match_data_free(iterationData);
    pcre2_match_data_free(oneShotData);
    iterationData = nullptr;
    oneShotData = nullptr;
    iterating = false;
    subject.clear();
    cleanedSubject.clear();
    cleaned = false;
    start = 0;
    hasMatch = false;
    matchBegin = matchEnd = 0;
    lastError = 0;
  }

  // Brings the state up to the slot's current pattern; false when it has none, or its match
  // data cannot be made.
  bool follow(const Pattern& current) {
    pattern = &current;
    if (current.code == nullptr) {
      if (generation != 0) clear();
      generation = 0;
      return false;
    }
    if (generation == current.generation) return true;
    clear();
    iterationData = pcre2_match_data_create_from_pattern(current.code, nullptr);
    oneShotData = pcre2_match_data_create_from_pattern(current.code, nullptr);
    if (iterationData == nullptr || oneShotData == nullptr) {
      clear();
      generation = 0;
      return false;
    }
    generation = current.generation;
    return true;
  }

  uint32_t groupCount() const { return pattern->groupCount; }

  // Where the next attempt starts after an empty match at `at`: one character on, where a
  // CR LF line end counts as one character. Starting between its CR and LF would find a
  // line start and a line end there, so '^$' would report a second, false empty line.
  std::size_t afterEmptyMatch(TextView text, std::size_t at) const {
    if (pattern->crLfIsNewline && at + 1 < text.size() && text[at] == u'\r' && text[at + 1] == u'\n')
      return at + 2;
    return nextCharacter(text, at);
  }

  // Runs the pattern on `text` (already free of lone surrogates) from `offset`; true on a
  // match. Records an error other than "no match" in lastError.
  bool run(TextView text, std::size_t offset, pcre2_match_data* data) {
    uint32_t options = pattern->matchOptions;
    if (pattern->lastLineEnd && text.ends_with(u"\r\n")) options |= PCRE2_NOTEOL;
    int rc = pcre2_match(pattern->code, libraryText(text.data()), text.size(), offset, options, data,
                         matchContext());
    if (rc >= 0) {
      lastError = 0;
      return true;
    }
    lastError = rc == PCRE2_ERROR_NOMATCH ? 0 : rc;
    return false;
  }
};

thread_local std::array<Slot, 3> slots;

Slot* slotFor(RegexSlot slot) {
  auto index = static_cast<std::size_t>(slot);
  if (index >= slots.size()) return nullptr;
  Slot* s = &slots[index];
  s->follow(patterns[index]);
  return s;
}

Slot* slotWithPattern(RegexSlot slot) {
  Slot* s = slotFor(slot);
  return s != nullptr && s->generation != 0 ? s : nullptr;
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

bool compilePattern(RegexSlot slot, TextView pattern, uint32_t flags) {
  lastCompileError.clear();
  const auto index = static_cast<std::size_t>(slot);
  if (index >= patterns.size()) return false;
  Pattern& p = patterns[index];
  pcre2_code_free(p.code);
  p.code = nullptr;
  slots[index].clear();

  uint32_t options = PCRE2_UTF;
  if (flags & caseless) options |= PCRE2_CASELESS;
  if (flags & multiline) options |= PCRE2_MULTILINE;
  if (flags & dotAll) options |= PCRE2_DOTALL;
  uint32_t lineEnds = PCRE2_NEWLINE_LF;
  if ((flags & newlineAnyCrLf) == newlineAnyCrLf)
    lineEnds = PCRE2_NEWLINE_ANYCRLF;
  else if ((flags & newlineCrLf) == newlineCrLf)
    lineEnds = PCRE2_NEWLINE_CRLF;

  int errorCode = 0;
  pcre2_code* code = compileWith(pattern, options | PCRE2_MATCH_INVALID_UTF, lineEnds, errorCode);
  if (code == nullptr) {
    lastCompileError = errorMessage(errorCode);
    return false;
  }
  uint32_t matchOptions = 0;
  if (!usesJit(code)) {
    pcre2_code_free(code);
    code = compileWith(pattern, options, lineEnds, errorCode);
    if (code == nullptr) {
      lastCompileError = errorMessage(errorCode);
      return false;
    }
    matchOptions = PCRE2_NO_UTF_CHECK;  // subjects given to PCRE2 are valid UTF-16
  }

  p.code = code;
  p.matchOptions = matchOptions;
  p.lastLineEnd = (flags & lastLineEnd) != 0;
  p.generation = ++compiledPatterns;
  pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &p.groupCount);
  // The pattern itself may choose its line ends, e.g. with (*CRLF).
  uint32_t newline = 0;
  pcre2_pattern_info(code, PCRE2_INFO_NEWLINE, &newline);
  p.crLfIsNewline = newline == PCRE2_NEWLINE_CRLF || newline == PCRE2_NEWLINE_ANY ||
                    newline == PCRE2_NEWLINE_ANYCRLF;
  if (slotWithPattern(slot) == nullptr) {
    pcre2_code_free(p.code);
    p.code = nullptr;
    lastCompileError = errorMessage(PCRE2_ERROR_NOMEMORY);
    return false;
  }
  return true;
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

Text compileError() { return lastCompileError; }

bool beginMatches(RegexSlot slot, TextView subject) {
  Slot* s = slotWithPattern(slot);
  if (s == nullptr) return false;
  s->subject.assign(subject);
  s->cleaned = replaceLoneSurrogates(s->subject, s->cleanedSubject);
  if (!s->cleaned) s->cleanedSubject.clear();
  s->start = 0;
  s->hasMatch = false;
  s->matchBegin = s->matchEnd = 0;
  s->lastError = 0;
  s->iterating = true;
  return true;
}

bool nextMatch(RegexSlot slot) {
  Slot* s = slotWithPattern(slot);
  if (s == nullptr || !s->iterating) return false;
  s->hasMatch = false;
  s->lastError = 0;
  const TextView subject = s->subject;
  if (s->start >= subject.size()) return false;

  const TextView searched = s->cleaned ? TextView(s->cleanedSubject) : subject;
  if (!s->run(searched, s->start, s->iterationData)) return false;

  std::size_t begin = 0;
  std::size_t end = 0;
  matchBounds(s->iterationData, begin, end);
  s->hasMatch = true;
  s->matchBegin = begin;
  s->matchEnd = end;
  // The next attempt starts after a non-empty match, or one character after an empty one
  // (so that an empty match is reported once and the iteration always moves on).
  std::size_t next = end > begin ? end : s->afterEmptyMatch(subject, begin);
  s->start = std::max(next, nextCharacter(subject, s->start));
  return true;
}

Text matchText(RegexSlot slot) {
  Slot* s = slotWithPattern(slot);
  if (s == nullptr || !s->hasMatch) return Text();
  return s->subject.substr(s->matchBegin, s->matchEnd - s->matchBegin);
}

Text matchGroup(RegexSlot slot, int group) {
  Slot* s = slotWithPattern(slot);
  if (s == nullptr || !s->hasMatch || group < 1 || static_cast<uint32_t>(group) > s->groupCount())
    return Text();
  const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(s->iterationData);
  PCRE2_SIZE begin = ovector[2 * group];
  PCRE2_SIZE end = ovector[2 * group + 1];
  if (begin == PCRE2_UNSET || end == PCRE2_UNSET || end < begin) return Text();
  return s->subject.substr(begin, end - begin);
}

std::size_t matchStart(RegexSlot slot) {
  Slot* s = slotWithPattern(slot);
  return s != nullptr && s->hasMatch ? s->matchBegin : 0;
}

std::size_t matchLength(RegexSlot slot) {
  Slot* s = slotWithPattern(slot);
  return s != nullptr && s->hasMatch ? s->matchEnd - s->matchBegin : 0;
}

bool matchFailed(RegexSlot slot) {
  Slot* s = slotFor(slot);
  return s != nullptr && s->lastError != 0;
}

Text matchErrorText(RegexSlot slot) {
  Slot* s = slotFor(slot);
  if (s == nullptr || s->lastError == 0) return Text();
  return errorMessage(s->lastError);
}

bool matchesAnywhere(RegexSlot slot, TextView subject) {
  Slot* s = slotWithPattern(slot);
  if (s == nullptr) return false;
  Text cleaned;
  TextView searched = replaceLoneSurrogates(subject, cleaned) ? TextView(cleaned) : subject;
  return s->run(searched, 0, s->oneShotData);
}

int extractAll(RegexSlot slot, TextView subject, std::vector<Text>& list) {
  Slot* s = slotWithPattern(slot);
  std::size_t count = 0;
  if (s != nullptr) {
    Text cleaned;
    TextView searched = replaceLoneSurrogates(subject, cleaned) ? TextView(cleaned) : subject;
    std::size_t offset = 0;
    // Unlike nextMatch, this makes an attempt at the very end of the subject too.
    while (offset <= subject.size() && s->run(searched, offset, s->oneShotData)) {
      std::size_t begin = 0;
      std::size_t end = 0;
      matchBounds(s->oneShotData, begin, end);
      Text text(subject.substr(begin, end - begin));
      if (count < list.size())
        list[count] = std::move(text);
      else
        list.push_back(std::move(text));
      ++count;
      // After an empty match the next attempt starts one character on, wherever the match
      // was found; starting at its end would find the same empty match a second time.
      std::size_t next = end > begin ? end : s->afterEmptyMatch(subject, begin);
      offset = std::max(next, nextCharacter(subject, offset));
    }
  }
  list.resize(count);
  return static_cast<int>(count);
}
