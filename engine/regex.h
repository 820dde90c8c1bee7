#pragma once
// The regular-expression service over PCRE2: three slots, each holding at most one compiled
// pattern and its match state. Any text is safe to match, lone surrogates included: a lone
// surrogate is matched as a single character that is no letter, digit or space ('.', '\W'
// and '[^a]' match it; a U+FFFD in the pattern does not), and matched texts hold it
// unchanged. Offsets and lengths are in UTF-16 code units. Patterns are compiled while no
// other thread matches; a compiled pattern is then matched on any number of threads at once,
// and the iteration and last match of a slot are the calling thread's own.

#include <cstdint>
#include <vector>

#include "engine/text.h"

enum RegexSlot { rowPattern = 0, pathSplitter = 1, nameFilter = 2 };

// The program's own flag values.
constexpr uint32_t caseless = 0x00000001;
constexpr uint32_t multiline = 0x00000002;
constexpr uint32_t dotAll = 0x00000004;
constexpr uint32_t newlineAnyCrLf = 0x00500000;
// Line ends are CR LF only: '^' and '$' match after and before a CR LF, never between its
// two units.
constexpr uint32_t newlineCrLf = 0x00300000;
// A CR LF at the very end of a subject is its last line's end: '$' matches before it but
// not after it, as it does at every other line end.
constexpr uint32_t lastLineEnd = 0x00000100;

bool compilePattern(RegexSlot slot, TextView pattern, uint32_t flags);
// PCRE2's English message for the last failed compile, or the empty text.
Text compileError();
// Characters every match of the pattern begins with, when it is compiled with letter case
// (no caseless flag): the pattern's leading run of plain literal characters, less a last
// one that a quantifier follows. Empty when the pattern does not begin so or has a "|"
// anywhere (an alternative need not begin with the run).
Text leadingLiteral(TextView pattern);

// Starts iterating over a private copy of subject; false when the slot has no pattern.
bool beginMatches(RegexSlot slot, TextView subject);
// True when a further match was found. After false, matchFailed tells an error from "no match".
// No attempt is made once the iteration has reached the end of the subject. After a non-empty
// match the next attempt starts at its end, after an empty one a character further on (past a
// whole surrogate pair), so each match is reported once.
bool nextMatch(RegexSlot slot);
Text matchText(RegexSlot slot);
Text matchGroup(RegexSlot slot, int group);
// Where the current match lies in the subject, in UTF-16 code units from 0.
std::size_t matchStart(RegexSlot slot);
std::size_t matchLength(RegexSlot slot);
// True when the last match attempt of the slot ended in an error (match limit and the like).
bool matchFailed(RegexSlot slot);
// PCRE2's message for that error, or the empty text.
Text matchErrorText(RegexSlot slot);

// matchesAnywhere and extractAll leave an iteration of the slot and its current match alone.
// False as well when the attempt ended in an error (see matchFailed).
bool matchesAnywhere(RegexSlot slot, TextView subject);
// Every whole-match text in order; returns their number. Unlike nextMatch it also tries at the
// very end of the subject, so an empty match there is reported. On an error it stops with the
// matches found so far and matchFailed is true.
int extractAll(RegexSlot slot, TextView subject, std::vector<Text>& list);
