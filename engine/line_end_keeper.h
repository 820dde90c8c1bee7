#pragma once
// The new text of a file whose line ends are kept (RewriteOptions::keepLineEnds).

#include <cstddef>

#include "engine/text.h"
#include "engine/text_file.h"

// Builds the new text of a file whose line ends are kept. The text searched is the file's
// lines joined by CR LF, and a line holds no CR or LF, so every CR of it starts the CR LF
// in place of the next line end the file had. Between edits the text is copied with each
// such CR LF turned back into that line end; a line end belongs to the part its CR is in.
// The line breaks of a replacement take the file's first line end, and the last line gets
// its line end back when it had one (from the text, when the text holds it: lastInText).
class LineEndKeeper {
public:
    // out receives the new text; text and ends must outlive the keeper.
    LineEndKeeper(TextView text, const LineEnds& ends, bool lastInText, Text& out);

    // The text's length units from start replaced by replacement (edits come in order).
    void edit(size_t start, size_t length, TextView replacement);
    // The rest of the text after the last edit.
    void finish();

private:
    static TextView lineEnd(LineEnds::Kind kind);
    // Copies the text [from, to) with its CR LFs turned back into the file's line ends.
    void keep(size_t from, size_t to);

    TextView text_;
    const LineEnds& ends_;
    bool lastInText_;
    Text& out_;
    TextView firstEnd_;
    size_t done_ = 0;  // the text before this is in out_ or replaced
    size_t next_ = 0;  // the line end the next CR of the text stands for
};
