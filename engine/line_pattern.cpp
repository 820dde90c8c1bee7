#include "engine/line_pattern.h"

#include "engine/regex.h"

namespace {

// One line end of the text searched, as a pattern.
constexpr TextView lineEnd = u"(?:\\r\\n)";

bool isLetter(char16_t unit) { return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z'); }
bool isDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

// True when the pattern may turn on the extended option somewhere: an option setting
// "(?...)" or "(?...:" whose letters hold an x.
bool mayBeExtended(TextView pattern) {
    for (size_t at = pattern.find(u"(?"); at != TextView::npos; at = pattern.find(u"(?", at + 2)) {
        size_t i = at + 2;
        bool x = false;
        while (i < pattern.size() && (isLetter(pattern[i]) || pattern[i] == u'-' || pattern[i] == u'^')) {
            x = x || pattern[i] == u'x';
            ++i;
        }
        if (x && i < pattern.size() && (pattern[i] == u')' || pattern[i] == u':')) return true;
    }
    return false;
}

// Reads a pattern once from start to end, copying it with its line breaks rewritten.
class LineBreakRewriter {
public:
    explicit LineBreakRewriter(TextView pattern) : p_(pattern), extended_(mayBeExtended(pattern)) {}

    Text rewrite() {
        while (i_ < p_.size()) {
            if (inClass_) classToken();
            else outsideToken();
        }
        return std::move(out_);
    }

private:
    // The line break at i outside a class: its length ("\n", "\r": 2; a typed CR or LF: 1,
    // none in an extended pattern) and unit; 0 for none.
    size_t breakAt(size_t i, char16_t& unit) const {
        if (i < p_.size() && (p_[i] == u'\r' || p_[i] == u'\n') && !extended_) {
            unit = p_[i];
            return 1;
        }
        if (i + 1 < p_.size() && p_[i] == u'\\' && (p_[i + 1] == u'r' || p_[i + 1] == u'n')) {
            unit = p_[i + 1] == u'r' ? u'\r' : u'\n';
            return 2;
        }
        return 0;
    }

    // The length of the quantifier at i (0 for none) and the least number of times it takes.
    size_t quantifierAt(size_t i, unsigned& least) const {
        size_t end = i;
        least = 1;
        if (i < p_.size() && (p_[i] == u'?' || p_[i] == u'*' || p_[i] == u'+')) {
            least = p_[i] == u'+' ? 1 : 0;
            end = i + 1;
        } else if (i < p_.size() && p_[i] == u'{') {
            size_t j = i + 1;
            unsigned n = 0;
            while (j < p_.size() && isDigit(p_[j])) n = n * 10 + (p_[j++] - u'0');
            if (j == i + 1) return 0;
            if (j < p_.size() && p_[j] == u',') ++j;
            while (j < p_.size() && isDigit(p_[j])) ++j;
            if (j >= p_.size() || p_[j] != u'}') return 0;
            least = n;
            end = j + 1;
        } else {
            return 0;
        }
        if (end < p_.size() && (p_[end] == u'?' || p_[end] == u'+')) ++end;
        return end - i;
    }

    void copy(size_t length) {
        out_.append(p_.substr(i_, length));
        i_ += length;
    }

    // Copies up to and including the first stop at or after from (or to the end).
    void copyThrough(TextView stop, size_t from) {
        const size_t at = p_.find(stop, from);
        copy(at == TextView::npos ? p_.size() - i_ : at + stop.size() - i_);
    }

    // Quoted text: copied as it is, but for its typed line breaks, which stand for a line
    // end as outside the quote.
    void quoted() {
        while (i_ < p_.size()) {
            if (p_.substr(i_).starts_with(u"\\E")) {
                copy(2);
                return;
            }
            if (p_[i_] != u'\r' && p_[i_] != u'\n') {
                copy(1);
                continue;
            }
            const size_t length = p_.substr(i_).starts_with(u"\r\n") ? 2 : 1;
            out_.append(inClass_ ? TextView(u"\\E\\r\\n\\Q") : TextView(u"\\E(?:\\r\\n)\\Q"));
            i_ += length;
        }
    }

    void outsideToken() {
        char16_t unit = 0;
        if (const size_t length = breakAt(i_, unit)) return lineBreak(length, unit);
        const TextView rest = p_.substr(i_);
        if (rest.starts_with(u"\\Q")) {
            copy(2);
            return quoted();
        }
        if (rest.starts_with(u"\\c")) return copy(std::min<size_t>(3, rest.size()));
        if (rest.front() == u'\\') return copy(std::min<size_t>(2, rest.size()));
        if (rest.starts_with(u"(?#")) return copyThrough(u")", i_);
        if (extended_ && (rest.front() == u'\r' || rest.front() == u'\n')) {
            // White space, and the end of a comment: where line ends are CR LF, a lone LF
            // would not end it.
            out_.append(u"\r\n");
            i_ += rest.starts_with(u"\r\n") ? 2 : 1;
            return;
        }
        if (extended_ && rest.front() == u'#') {
            const size_t end = p_.find_first_of(u"\r\n", i_);
            return copy((end == TextView::npos ? p_.size() : end) - i_);
        }
        if (rest.front() == u'[') {
            inClass_ = true;
            copy(rest.starts_with(u"[^") ? 2 : 1);
            classStart_ = true;
            return;
        }
        copy(1);
    }

    // A line break of the given length and unit outside a class: one line end. "\r" with
    // "\n" right after it (or after a quantifier that takes it at least once) is already the
    // text's own line end and stays.
    void lineBreak(size_t length, char16_t unit) {
        if (unit == u'\r') {
            unsigned least = 1;
            const size_t quantifier = quantifierAt(i_ + length, least);
            char16_t next = 0;
            const size_t nextLength = breakAt(i_ + length + quantifier, next);
            if (nextLength > 0 && next == u'\n') {
                out_.append(u"\\r");
                i_ += length;
                copy(quantifier);
                // "\r?\n": the "\n" is a whole line end of its own.
                if (least == 0) return;
                out_.append(u"\\n");
                i_ += nextLength;
                return;
            }
        }
        out_.append(lineEnd);
        i_ += length;
    }

    void classToken() {
        const bool start = classStart_;
        classStart_ = false;
        const TextView rest = p_.substr(i_);
        if (rest.starts_with(u"\\Q")) {
            copy(2);
            return quoted();
        }
        const bool escaped = rest.starts_with(u"\\n") || rest.starts_with(u"\\r");
        if (escaped || rest.front() == u'\r' || rest.front() == u'\n') {
            // Both units of a line end; a range on either side keeps the unit written.
            const bool lf = escaped ? rest[1] == u'n' : rest.front() == u'\n';
            const TextView written = lf ? u"\\n" : u"\\r";
            const TextView other = lf ? u"\\r" : u"\\n";
            const bool rangeEnd = !out_.empty() && out_.back() == u'-';
            out_.append(rangeEnd ? written : other);
            out_.append(rangeEnd ? other : written);
            i_ += escaped ? 2 : 1;
            return;
        }
        if (rest.starts_with(u"\\c")) return copy(std::min<size_t>(3, rest.size()));
        if (rest.front() == u'\\') return copy(std::min<size_t>(2, rest.size()));
        // A POSIX class such as "[:alpha:]" ends at its own "]".
        if (rest.size() > 1 && rest.front() == u'[' && (rest[1] == u':' || rest[1] == u'.' || rest[1] == u'=')) {
            const char16_t close[] = {rest[1], u']', 0};
            return copyThrough(close, i_ + 2);
        }
        if (rest.front() == u']' && !start) inClass_ = false;
        copy(1);
    }

    TextView p_;
    bool extended_;
    Text out_;
    size_t i_ = 0;
    bool inClass_ = false;
    bool classStart_ = false;  // right after "[" or "[^", where "]" is a member
};

}  // namespace

Text lineSearch(TextView search) {
    Text text;
    text.reserve(search.size());
    for (size_t i = 0; i < search.size(); ++i) {
        if (search[i] != u'\r' && search[i] != u'\n') {
            text.push_back(search[i]);
            continue;
        }
        text.append(u"\r\n");
        if (search[i] == u'\r' && i + 1 < search.size() && search[i + 1] == u'\n') ++i;
    }
    return text;
}

Text linePattern(TextView pattern) { return LineBreakRewriter(pattern).rewrite(); }

uint32_t lineCompileFlags(const RowOptions& options) {
    uint32_t flags = compileFlags(options);
    if ((flags & newlineAnyCrLf) == newlineAnyCrLf) flags &= ~newlineAnyCrLf;
    return flags | newlineCrLf | lastLineEnd;
}
