#pragma once
// Regular expressions on UTF-8 bytes, over PCRE2's 8-bit library: the twin of regex.h for
// subjects that are valid UTF-8 (a file's own bytes, line ends made CR LF), so that such a
// file is searched without its UTF-16 text. A pattern compiled here from the same pattern
// text and flags finds in the UTF-8 form of a text the matches Pattern finds in the text,
// at the same characters, with the same iteration and the same limits; offsets are in bytes.
//
// A Utf8Pattern is immutable once made and shared by any number of threads; a Utf8Matcher
// is one caller's match state.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "engine/text.h"

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;
struct pcre2_real_match_context_8;
struct pcre2_real_jit_stack_8;

class Utf8Pattern;

// The pattern (as compilePattern takes it, with the same flags) compiled for UTF-8
// subjects; null when it does not compile or cannot match alike at both widths: a pattern
// with "\C" (one code unit, which is not the same thing in UTF-8 and UTF-16) or with a lone
// surrogate. Null sends every file down the UTF-16 path.
std::shared_ptr<const Utf8Pattern> compileUtf8Pattern(TextView pattern, uint32_t flags);

// A regular expression compiled for valid UTF-8 subjects. Made by compileUtf8Pattern only.
class Utf8Pattern {
public:
    ~Utf8Pattern();
    Utf8Pattern(const Utf8Pattern&) = delete;
    Utf8Pattern& operator=(const Utf8Pattern&) = delete;

    uint32_t groupCount() const { return groupCount_; }

private:
    friend class Utf8Matcher;
    friend std::shared_ptr<const Utf8Pattern> compileUtf8Pattern(TextView pattern, uint32_t flags);
    Utf8Pattern() = default;

    pcre2_real_code_8* code_ = nullptr;
    uint32_t groupCount_ = 0;
    bool crLfIsNewline_ = false;  // the pattern's line ends include CR LF
    bool lastLineEnd_ = false;    // a CR LF that ends a subject ends its last line
};

// One caller's match state for a Utf8Pattern, as Matcher is for a Pattern, iterating over a
// subject it does not copy: the subject must be valid UTF-8 (it is not checked again) and
// stay unchanged while it is iterated over.
class Utf8Matcher {
public:
    Utf8Matcher() = default;
    ~Utf8Matcher();
    Utf8Matcher(const Utf8Matcher&) = delete;
    Utf8Matcher& operator=(const Utf8Matcher&) = delete;

    // Makes pattern the one matched (see Matcher::use).
    bool use(std::shared_ptr<const Utf8Pattern> pattern);
    // Starts iterating over subject; false when there is no pattern.
    bool begin(std::string_view subject);
    // The next match, with Matcher::next's rules (after an empty match the next attempt is
    // a whole character further on: a whole UTF-8 sequence, or a whole CR LF when the
    // pattern's line ends include it).
    bool next();
    // Where the current match lies, in bytes from the subject's start.
    std::size_t start() const { return hasMatch_ ? matchBegin_ : 0; }
    std::size_t length() const { return hasMatch_ ? matchEnd_ - matchBegin_ : 0; }
    // Where capture group 1 and on of the current match lies; false (and 0, 0) when it took
    // no part.
    bool group(int group, std::size_t& begin, std::size_t& end) const;
    // True when the last match attempt ended in an error (match limit and the like).
    bool failed() const { return lastError_ != 0; }

private:
    void release();

    std::shared_ptr<const Utf8Pattern> pattern_;
    pcre2_real_match_context_8* context_ = nullptr;
    pcre2_real_jit_stack_8* jitStack_ = nullptr;
    pcre2_real_match_data_8* data_ = nullptr;

    std::string_view subject_;
    bool iterating_ = false;
    std::size_t next_ = 0;
    bool hasMatch_ = false;
    std::size_t matchBegin_ = 0;
    std::size_t matchEnd_ = 0;
    int lastError_ = 0;
};
