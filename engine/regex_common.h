#pragma once
// What the regular-expression services over PCRE2's 16-bit library (regex.cpp, on UTF-16
// texts) and 8-bit library (utf8_regex.cpp, on UTF-8 bytes) share, so that a pattern finds
// the same matches at either width: the compile options a row's flags stand for, the match
// limits, and where an iteration tries next. Included after <pcre2.h>, whose option values
// are the same at every width.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/regex.h"

namespace regex_common {

// Bounds that make runaway patterns such as '(a+)+$' end with an error in bounded time.
constexpr uint32_t matchLimit = 10'000'000;
constexpr uint32_t depthLimit = 1'000'000;
constexpr uint32_t heapLimitKiB = 256 * 1024;
constexpr std::size_t jitStackStart = 32 * 1024;
constexpr std::size_t jitStackMax = 8 * 1024 * 1024;

// The PCRE2 compile options and line ends the program's flags stand for (UTF always).
inline void compileOptions(uint32_t flags, uint32_t& options, uint32_t& lineEnds) {
    options = PCRE2_UTF;
    if (flags & caseless) options |= PCRE2_CASELESS;
    if (flags & multiline) options |= PCRE2_MULTILINE;
    if (flags & dotAll) options |= PCRE2_DOTALL;
    lineEnds = PCRE2_NEWLINE_LF;
    if ((flags & newlineAnyCrLf) == newlineAnyCrLf)
        lineEnds = PCRE2_NEWLINE_ANYCRLF;
    else if ((flags & newlineCrLf) == newlineCrLf)
        lineEnds = PCRE2_NEWLINE_CRLF;
}

// True when a compiled pattern's line ends (PCRE2_INFO_NEWLINE: the pattern itself may
// choose them, e.g. with (*CRLF)) include CR LF.
inline bool crLfIsNewline(uint32_t newline) {
    return newline == PCRE2_NEWLINE_CRLF || newline == PCRE2_NEWLINE_ANY || newline == PCRE2_NEWLINE_ANYCRLF;
}

// Where an iteration's next attempt starts after a match [begin, end) found by an attempt
// from `from`: at its end after a non-empty match, one character after an empty one (where
// a CR LF line end counts as one character when crLf says the pattern's line ends include
// it: starting between its CR and LF would find a line start and a line end there, so '^$'
// would report a second, false empty line), and never before the character after `from`.
// nextCharacter(text, at) is the offset one whole character after at.
template <typename Char, typename NextCharacter>
std::size_t nextAttempt(std::basic_string_view<Char> text, std::size_t from, std::size_t begin, std::size_t end,
                        bool crLf, NextCharacter nextCharacter) {
    std::size_t after = end;
    if (end <= begin) {
        if (crLf && begin + 1 < text.size() && text[begin] == Char('\r') && text[begin + 1] == Char('\n'))
            after = begin + 2;
        else
            after = nextCharacter(text, begin);
    }
    return std::max(after, nextCharacter(text, from));
}

}  // namespace regex_common
