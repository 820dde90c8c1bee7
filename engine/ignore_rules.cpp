#include "engine/ignore_rules.h"

#include <cctype>

namespace {

// How far a glob got with a text. Besides a plain failure, a glob can tell that no later
// start in the text can match either (the text ran out), or none before the next "/" (a "*"
// met a "/"): the stars around it then stop trying at once, so that many stars in a pattern
// never make the comparison slow.
enum class GlobResult { match, noMatch, noMatchAtAnyLaterStart, noMatchBeforeNextFolder };

// The characters that make a pattern more than literal text, and where the first of them is.
bool isSpecial(char c) { return c == '*' || c == '?' || c == '[' || c == '\\'; }

size_t firstSpecial(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (isSpecial(text[i])) return i;
    return text.size();
}

// The POSIX character class named by name ("alpha" of "[:alpha:]"): whether c belongs to
// it. False for a name that is no class.
bool inNamedClass(std::string_view name, unsigned char c) {
    if (name == "alnum") return std::isalnum(c);
    if (name == "alpha") return std::isalpha(c);
    if (name == "blank") return c == ' ' || c == '\t';
    if (name == "cntrl") return std::iscntrl(c);
    if (name == "digit") return std::isdigit(c);
    if (name == "graph") return std::isgraph(c);
    if (name == "lower") return std::islower(c);
    if (name == "print") return std::isprint(c);
    if (name == "punct") return std::ispunct(c);
    if (name == "space") return std::isspace(c);
    if (name == "upper") return std::isupper(c);
    if (name == "xdigit") return std::isxdigit(c);
    return false;
}

// The bracket expression starting at glob[at] ("["): whether c is in its set, and where the
// glob goes on after it. False when the bracket is never closed (the glob matches nothing).
bool bracketMatches(std::string_view glob, size_t at, unsigned char c, bool& inSet, size_t& after) {
    size_t i = at + 1;
    bool negated = false;
    if (i < glob.size() && (glob[i] == '!' || glob[i] == '^')) {
        negated = true;
        ++i;
    }
    bool found = false;
    for (bool first = true;; first = false) {
        if (i >= glob.size()) return false;
        unsigned char low = static_cast<unsigned char>(glob[i]);
        if (low == ']' && !first) break;
        if (low == '[' && i + 1 < glob.size() && glob[i + 1] == ':') {
            const size_t close = glob.find(":]", i + 2);
            if (close != std::string_view::npos) {
                found = found || inNamedClass(glob.substr(i + 2, close - i - 2), c);
                i = close + 2;
                continue;
            }
        }
        if (low == '\\') {
            if (++i >= glob.size()) return false;
            low = static_cast<unsigned char>(glob[i]);
        }
        ++i;
        if (i + 1 < glob.size() && glob[i] == '-' && glob[i + 1] != ']') {
            size_t highAt = i + 1;
            if (glob[highAt] == '\\' && ++highAt >= glob.size()) return false;
            const unsigned char high = static_cast<unsigned char>(glob[highAt]);
            found = found || (low <= c && c <= high);
            i = highAt + 1;
        } else {
            found = found || low == c;
        }
    }
    inSet = found != negated;
    after = i + 1;
    return true;
}

// Whether glob[from...] matches the whole of text[at...]. "*", "?" and brackets never match
// a "/"; "**" between "/"s (or at either end) matches whole folders.
GlobResult globFrom(std::string_view glob, size_t from, std::string_view text, size_t at) {
    size_t g = from;
    size_t t = at;
    while (g < glob.size()) {
        const char symbol = glob[g];
        if (symbol == '*') {
            const size_t starsAt = g;
            while (g < glob.size() && glob[g] == '*') ++g;
            const bool wholeFolders = g - starsAt >= 2 && (starsAt == 0 || glob[starsAt - 1] == '/') &&
                                      (g == glob.size() || glob[g] == '/');
            if (wholeFolders) {
                if (g == glob.size()) return GlobResult::match;  // "/**" at the end: all below
                ++g;  // "**/": none or more whole folders
                for (size_t start = t;;) {
                    const GlobResult rest = globFrom(glob, g, text, start);
                    if (rest == GlobResult::match || rest == GlobResult::noMatchAtAnyLaterStart) return rest;
                    const size_t slash = text.find('/', start);
                    if (slash == std::string_view::npos) return GlobResult::noMatchAtAnyLaterStart;
                    start = slash + 1;
                }
            }
            if (g == glob.size())
                return text.find('/', t) == std::string_view::npos ? GlobResult::match
                                                                    : GlobResult::noMatchBeforeNextFolder;
            for (size_t start = t;; ++start) {
                const GlobResult rest = globFrom(glob, g, text, start);
                if (rest != GlobResult::noMatch) return rest;
                if (start == text.size()) return GlobResult::noMatchAtAnyLaterStart;
                if (text[start] == '/') return GlobResult::noMatchBeforeNextFolder;
            }
        }
        if (t == text.size()) return GlobResult::noMatchAtAnyLaterStart;
        const unsigned char c = static_cast<unsigned char>(text[t]);
        if (symbol == '?') {
            if (c == '/') return GlobResult::noMatch;
            ++g;
        } else if (symbol == '[') {
            bool inSet = false;
            size_t after = 0;
            if (!bracketMatches(glob, g, c, inSet, after)) return GlobResult::noMatchAtAnyLaterStart;
            if (!inSet || c == '/') return GlobResult::noMatch;
            g = after;
        } else {
            if (symbol == '\\' && ++g == glob.size()) return GlobResult::noMatchAtAnyLaterStart;
            if (static_cast<unsigned char>(glob[g]) != c) return GlobResult::noMatch;
            ++g;
        }
        ++t;
    }
    return t == text.size() ? GlobResult::match : GlobResult::noMatch;
}

// The line without the spaces at its end, except those escaped with "\".
std::string_view withoutTrailingSpaces(std::string_view line) {
    size_t end = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) end = ++i + 1;
        else if (line[i] != ' ') end = i + 1;
    }
    return line.substr(0, end);
}

}  // namespace

IgnorePatterns::IgnorePatterns(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        addLine(text.substr(start, end - start));
        start = end + 1;
    }
}

void IgnorePatterns::addLine(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') return;
    line = withoutTrailingSpaces(line);
    Pattern pattern{};
    if (!line.empty() && line.front() == '!') {
        pattern.negated = true;
        line.remove_prefix(1);
    }
    if (!line.empty() && line.back() == '/') {
        pattern.foldersOnly = true;
        line.remove_suffix(1);
    }
    pattern.wholePath = line.find('/') != std::string_view::npos;
    if (!line.empty() && line.front() == '/') line.remove_prefix(1);
    if (line.empty()) return;
    pattern.text = std::string(line);
    pattern.literalHead = firstSpecial(line);
    if (pattern.literalHead == line.size()) pattern.kind = Kind::literal;
    else if (!pattern.wholePath && line.front() == '*' && firstSpecial(line.substr(1)) == line.size() - 1)
        pattern.kind = Kind::suffix;
    else pattern.kind = Kind::glob;
    if (!pattern.negated) ++plainCount_;
    patterns_.push_back(std::move(pattern));
}

bool IgnorePatterns::matches(const Pattern& pattern, std::string_view text) {
    const std::string_view own(pattern.text);
    switch (pattern.kind) {
        case Kind::literal: return text == own;
        case Kind::suffix:
            return text.size() >= own.size() - 1 && text.substr(text.size() - (own.size() - 1)) == own.substr(1);
        case Kind::glob: break;
    }
    const size_t head = pattern.literalHead;
    if (text.substr(0, head) != own.substr(0, head)) return false;
    return globFrom(own, head, text, head) == GlobResult::match;
}

PatternMatch IgnorePatterns::match(std::string_view path, std::string_view name, bool isFolder) const {
    for (auto pattern = patterns_.rbegin(); pattern != patterns_.rend(); ++pattern) {
        if (pattern->foldersOnly && !isFolder) continue;
        if (matches(*pattern, pattern->wholePath ? path : name))
            return pattern->negated ? PatternMatch::negated : PatternMatch::plain;
    }
    return PatternMatch::none;
}
