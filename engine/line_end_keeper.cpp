#include "engine/line_end_keeper.h"

LineEndKeeper::LineEndKeeper(TextView text, const LineEnds& ends, bool lastInText, Text& out)
    : text_(text), ends_(ends), lastInText_(lastInText), out_(out) {
    firstEnd_ = ends.kinds.empty() || ends.kinds.front() == LineEnds::zero ? TextView(u"\n")
                                                                            : lineEnd(ends.kinds.front());
    out_.clear();
    out_.reserve(text.size() + text.size() / 16);
}

void LineEndKeeper::edit(size_t start, size_t length, TextView replacement) {
    keep(done_, start);
    for (size_t i = start; i < start + length; ++i) next_ += text_[i] == u'\r' ? 1 : 0;
    size_t from = 0;
    for (size_t i = 0; i < replacement.size(); ++i) {
        if (replacement[i] != u'\r' && replacement[i] != u'\n') continue;
        out_.append(replacement.substr(from, i - from));
        out_.append(firstEnd_);
        if (replacement[i] == u'\r' && i + 1 < replacement.size() && replacement[i + 1] == u'\n') ++i;
        from = i + 1;
    }
    out_.append(replacement.substr(from));
    done_ = start + length;
}

void LineEndKeeper::finish() {
    keep(done_, text_.size());
    if (ends_.last && !ends_.kinds.empty() && !lastInText_) out_.append(lineEnd(ends_.kinds.back()));
}

TextView LineEndKeeper::lineEnd(LineEnds::Kind kind) {
    switch (kind) {
        case LineEnds::crLf: return u"\r\n";
        case LineEnds::lf: return u"\n";
        case LineEnds::cr: return u"\r";
        case LineEnds::zero: break;
    }
    return TextView(u"\0", 1);
}

void LineEndKeeper::keep(size_t from, size_t to) {
    size_t i = from;
    // The LF of a line end whose CR went with the edit before.
    if (i < to && i > 0 && text_[i] == u'\n' && text_[i - 1] == u'\r') ++i;
    while (i < to) {
        const size_t cr = text_.substr(0, to).find(u'\r', i);
        if (cr == TextView::npos) {
            out_.append(text_.substr(i, to - i));
            break;
        }
        out_.append(text_.substr(i, cr - i));
        out_.append(next_ < ends_.kinds.size() ? lineEnd(ends_.kinds[next_]) : TextView(u"\r\n"));
        ++next_;
        i = cr + 2;
    }
}
