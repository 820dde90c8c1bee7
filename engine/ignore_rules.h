#pragma once
// Git's ignore patterns: the lines of one .gitignore-style file (or a list of globs given on
// the command line), read once, and which of them decides for a path below the folder the
// file belongs to.

#include <string>
#include <string_view>
#include <vector>

// Which kind of pattern decided for a path: none matched it, a plain pattern did (an ignore
// file ignores the path), or a pattern starting with "!" did (the path is kept).
enum class PatternMatch { none, plain, negated };

// The patterns of one ignore file, in their order, as git reads them: blank lines and lines
// starting with "#" are skipped, "\#" and "\!" start a pattern with those characters, trailing
// spaces are dropped unless escaped with "\", "!" negates, a "/" at the start or in the middle
// ties the pattern to the file's own folder (else it matches a name at any depth), a "/" at
// the end matches folders only; "*" and "?" match within one name, "[...]" and "[!...]" a
// character of (or not of) a set, "**" whole folders at the start, in the middle and at the
// end. Letter case counts.
class IgnorePatterns {
public:
    IgnorePatterns() = default;
    // The patterns of a file's text (lines end with LF or CR LF).
    explicit IgnorePatterns(std::string_view text);

    // Adds the pattern of one line, after the others.
    void addLine(std::string_view line);

    bool empty() const { return patterns_.empty(); }
    // True when a pattern without "!" was read.
    bool hasPlain() const { return plainCount_ > 0; }

    // The last pattern that matches path decides. path is "/"-separated, relative to the
    // file's folder, without a "/" at either end; name is its last part.
    PatternMatch match(std::string_view path, std::string_view name, bool isFolder) const;

private:
    // How a pattern is compared: as a whole, as the end of the text after a leading "*", or
    // as a glob (a glob's literal head is compared first).
    enum class Kind { literal, suffix, glob };
    struct Pattern {
        std::string text;   // without "!", the leading "/" and the trailing "/"
        Kind kind;
        size_t literalHead;  // bytes before the first special character
        bool negated;
        bool foldersOnly;
        bool wholePath;  // compared with the path, not only with the name
    };
    static bool matches(const Pattern& pattern, std::string_view text);

    std::vector<Pattern> patterns_;
    size_t plainCount_ = 0;
};
