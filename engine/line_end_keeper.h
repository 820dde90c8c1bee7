#pragma once
// The new text of a file whose line ends are kept (RewriteOptions::keepLineEnds).

#include <cstddef>
#include <string_view>

#include "engine/text.h"
#include "engine/text_file.h"

// Builds the new text of a file whose line ends are kept. The text searched is the file's
// lines joined by CR LF, and a line holds no CR or LF, so every CR of it starts the CR LF
// in place of the next line end the file had. Between edits the text is copied with each
// such CR LF turned back into that line end; a line end belongs to the part its CR is in.
// The line breaks of a replacement take the file's first line end, and the last line gets
// its line end back when it had one (from the text, when the text holds it: lastInText).
//
// Char is the text's code unit: char16_t for the UTF-16 text, char for its UTF-8 form (the
// file's own bytes); Out is where the new text goes, anything with append(view): the new
// text itself, or a writer that streams it to the new file.
template <typename Char, typename Out>
class BasicLineEndKeeper {
public:
    using View = std::basic_string_view<Char>;

    // out receives the new text; text, ends and out must outlive the keeper.
    BasicLineEndKeeper(View text, const LineEnds& ends, bool lastInText, Out& out)
        : text_(text), ends_(ends), lastInText_(lastInText), out_(out) {
        firstEnd_ = ends.kinds.empty() || ends.kinds.front() == LineEnds::zero ? lineEnd(LineEnds::lf)
                                                                                : lineEnd(ends.kinds.front());
    }

    // The text's length units from start replaced by replacement (edits come in order).
    void edit(std::size_t start, std::size_t length, View replacement) {
        keep(done_, start);
        for (std::size_t i = start; i < start + length; ++i) next_ += text_[i] == Char('\r') ? 1 : 0;
        std::size_t from = 0;
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            if (replacement[i] != Char('\r') && replacement[i] != Char('\n')) continue;
            out_.append(replacement.substr(from, i - from));
            out_.append(firstEnd_);
            if (replacement[i] == Char('\r') && i + 1 < replacement.size() && replacement[i + 1] == Char('\n')) ++i;
            from = i + 1;
        }
        out_.append(replacement.substr(from));
        done_ = start + length;
    }

    // The rest of the text after the last edit.
    void finish() {
        keep(done_, text_.size());
        if (ends_.last && !ends_.kinds.empty() && !lastInText_) out_.append(lineEnd(ends_.kinds.back()));
    }

private:
    static View lineEnd(LineEnds::Kind kind) {
        static constexpr Char ends[] = {Char('\r'), Char('\n'), Char(0)};
        switch (kind) {
            case LineEnds::crLf: return View(ends, 2);
            case LineEnds::lf: return View(ends + 1, 1);
            case LineEnds::cr: return View(ends, 1);
            case LineEnds::zero: break;
        }
        return View(ends + 2, 1);
    }

    // Copies the text [from, to) with its CR LFs turned back into the file's line ends.
    void keep(std::size_t from, std::size_t to) {
        std::size_t i = from;
        // The LF of a line end whose CR went with the edit before.
        if (i < to && i > 0 && text_[i] == Char('\n') && text_[i - 1] == Char('\r')) ++i;
        const View part = text_.substr(0, to);
        while (i < to) {
            const std::size_t cr = part.find(Char('\r'), i);
            if (cr == View::npos) {
                out_.append(text_.substr(i, to - i));
                break;
            }
            out_.append(text_.substr(i, cr - i));
            out_.append(next_ < ends_.kinds.size() ? lineEnd(ends_.kinds[next_]) : lineEnd(LineEnds::crLf));
            ++next_;
            i = cr + 2;
        }
    }

    View text_;
    const LineEnds& ends_;
    bool lastInText_;
    Out& out_;
    View firstEnd_;
    std::size_t done_ = 0;  // the text before this is in out_ or replaced
    std::size_t next_ = 0;  // the line end the next CR of the text stands for
};

// The keeper of the UTF-16 text path, building the new text.
using LineEndKeeper = BasicLineEndKeeper<char16_t, Text>;
