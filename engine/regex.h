#pragma once
// Regular expressions over PCRE2. A compiled Pattern is a value: immutable once made, it is
// shared (std::shared_ptr<const Pattern>) by whoever matches it, on any number of threads at
// once. A Matcher is one caller's match state for a pattern: its match data, its limits and
// its iteration; each thread that matches uses a matcher of its own.
//
// Any text is safe to match, lone surrogates included: a lone surrogate is matched as a
// single character that is no letter, digit or space ('.', '\W' and '[^a]' match it; a
// U+FFFD in the pattern does not), and matched texts hold it unchanged. Offsets and lengths
// are in UTF-16 code units.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/text.h"

// PCRE2's own types (16-bit code units), as pcre2.h names them.
struct pcre2_real_code_16;
struct pcre2_real_match_data_16;
struct pcre2_real_match_context_16;
struct pcre2_real_jit_stack_16;

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

class Pattern;

// What compiling gives: the pattern, or none and PCRE2's English message.
struct CompiledPattern {
    std::shared_ptr<const Pattern> pattern;
    Text error;  // empty when the pattern compiled
};

CompiledPattern compilePattern(TextView pattern, uint32_t flags);

// Characters every match of the pattern begins with, when it is compiled with letter case
// (no caseless flag): the pattern's leading run of plain literal characters, less a last
// one that a quantifier follows. Empty when the pattern does not begin so or has a "|"
// anywhere (an alternative need not begin with the run).
Text leadingLiteral(TextView pattern);

// A compiled regular expression. Made by compilePattern only.
class Pattern {
public:
    ~Pattern();
    Pattern(const Pattern&) = delete;
    Pattern& operator=(const Pattern&) = delete;

    // The number of capture groups.
    uint32_t groupCount() const { return groupCount_; }

private:
    friend class Matcher;
    friend CompiledPattern compilePattern(TextView pattern, uint32_t flags);
    Pattern() = default;

    pcre2_real_code_16* code_ = nullptr;
    uint32_t groupCount_ = 0;
    uint32_t matchOptions_ = 0;
    bool crLfIsNewline_ = false;  // the pattern's line ends include CR LF
    bool lastLineEnd_ = false;    // a CR LF that ends a subject ends its last line
};

// One caller's match state for a pattern. Making one allocates nothing; the first pattern
// it is given brings its match context (with the match limits) and JIT stack, each pattern
// its match data, all kept for every match after. No allocation is made per match but for
// the private copy of each subject iterated over (whose storage is reused).
class Matcher {
public:
    Matcher() = default;
    explicit Matcher(std::shared_ptr<const Pattern> pattern) { use(std::move(pattern)); }
    ~Matcher();
    Matcher(const Matcher&) = delete;
    Matcher& operator=(const Matcher&) = delete;

    // Makes pattern the one matched, ending any iteration; the match data is kept when it is
    // the pattern already in use. False (and no pattern) when pattern is null or the match
    // state cannot be made.
    bool use(std::shared_ptr<const Pattern> pattern);
    bool hasPattern() const { return pattern_ != nullptr; }

    // Starts iterating over a private copy of subject; false when there is no pattern.
    bool begin(TextView subject);
    // True when a further match was found. After false, failed() tells an error from "no
    // match". No attempt is made once the iteration has reached the end of the subject.
    // After a non-empty match the next attempt starts at its end, after an empty one a
    // character further on (past a whole surrogate pair, and past a whole CR LF when the
    // pattern's line ends include it), so each match is reported once.
    bool next();
    // Capture group 1 and on of the current match; the empty text when it took no part.
    Text group(int group) const;
    // Where the current match lies in the subject, in UTF-16 code units from 0 (0 and 0
    // when there is none).
    std::size_t start() const { return hasMatch_ ? matchBegin_ : 0; }
    std::size_t length() const { return hasMatch_ ? matchEnd_ - matchBegin_ : 0; }
    // True when the last match attempt ended in an error (match limit and the like).
    bool failed() const { return lastError_ != 0; }
    // PCRE2's message for that error, or the empty text.
    Text errorText() const;

    // True when the pattern matches somewhere in subject; leaves the iteration and its
    // current match alone. False as well when the attempt ended in an error (see failed).
    bool matchesAnywhere(TextView subject);

private:
    void release();
    void endIteration();
    bool run(TextView text, std::size_t offset, pcre2_real_match_data_16* data);

    std::shared_ptr<const Pattern> pattern_;
    pcre2_real_match_context_16* context_ = nullptr;
    pcre2_real_jit_stack_16* jitStack_ = nullptr;
    // Separate match data for the iteration and for matchesAnywhere, so that the latter
    // leaves the current match of an iteration alone.
    pcre2_real_match_data_16* iterationData_ = nullptr;
    pcre2_real_match_data_16* oneShotData_ = nullptr;

    bool iterating_ = false;
    Text subject_;         // the private copy of the subject
    Text cleanedSubject_;  // the copy given to PCRE2 when subject_ has lone surrogates
    bool cleaned_ = false;
    std::size_t next_ = 0;  // where the next attempt starts
    bool hasMatch_ = false;
    std::size_t matchBegin_ = 0;
    std::size_t matchEnd_ = 0;
    int lastError_ = 0;  // the last match attempt's error code, 0 when it did not fail
};
