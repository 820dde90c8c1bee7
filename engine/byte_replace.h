#pragma once
// The replacement of a plain search text on the bytes of a UTF-8 file, written as the text
// path writes the new text, without decoding the file (see FileRewriter::rewriteBytes).

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/text.h"
#include "engine/text_file.h"

// The first CR or LF byte in [p, stop), or stop.
const char* findBreakByte(const char* p, const char* stop);
// The first occurrence of needle (not empty) in [p, stop), or stop.
const char* findBytes(const char* p, const char* stop, std::string_view needle);

// The replacement of a search text on the bytes of a UTF-8 file, written as the text path
// writes the new text (see FileRewriter::rewriteBytes). content is the file's bytes after
// its mark, holding no zero byte; needle is the search text's UTF-8 form.
class ByteReplacement {
public:
    // content is the file's bytes after its mark, holding no zero byte; needle is the search
    // text's UTF-8 form; with keepLineEnds, each line end is written back as it was.
    ByteReplacement(std::string_view content, std::string_view needle, TextView replacement, bool keepLineEnds);

    // The number of places replaced.
    size_t count() const;
    // Writes the new content; gives the number of places replaced.
    size_t writeTo(TextFile& file);

private:
    // bytes with every line break in it (CR LF, a lone CR, a lone LF) as lineEnd.
    static std::string withBreaks(std::string_view bytes, std::string_view lineEnd);
    bool endsInBreak() const;
    // Writes the bytes [p, stop) before, between or after places (which hold no CR or LF)
    // with each line end as CR LF. The text has no line break for a line end that ends the
    // file: while nothing of the text was written, such a line end alone gives nothing.
    void writeAsLines(TextFile& file, const char* p, const char* stop);

    std::string_view content_;
    std::string_view needle_;
    bool keepLineEnds_;
    std::string replacement_;  // the replacement's bytes with its line breaks as they are written
    std::string afterCr_;      // the same, where it follows a replacement ending in CR
    bool endsInCr_ = false;
    bool written_ = false;  // some of the new text was written
};
