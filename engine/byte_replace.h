#pragma once
// The replacement of a plain search text on the bytes of a UTF-8 file, written as the text
// path writes the new text, without decoding the file (see FileRewriter::rewriteBytes). The
// bytes come whole from memory or a window at a time from the file, so that a file of any
// size is replaced in a fixed amount of memory.

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "engine/text.h"
#include "engine/text_file.h"

// The first CR or LF byte in [p, stop), or stop.
const char* findBreakByte(const char* p, const char* stop);
// The first occurrence of needle (not empty) in [p, stop), or stop.
const char* findBytes(const char* p, const char* stop, std::string_view needle);
// The first line end of content: "\r\n", "\r" or "\n"; "\n" when it has none.
std::string_view firstLineEnd(std::string_view content);
// The places of needle in content, leftmost first and without overlap.
size_t countBytes(std::string_view content, std::string_view needle);

// What one look through a file's content tells before it is replaced on its bytes.
struct ByteScan {
    size_t places = 0;     // occurrences of the needle, leftmost first and without overlap
    bool zero = false;     // the content holds a zero byte
    bool readError = false;  // reading it ended in an error
    std::string_view firstLineEnd = "\n";  // as firstLineEnd gives it
};
// Scans the content of the file open on fd, from offset to its end, a window at a time in
// buffer (whose storage is kept for the next file). Unless whole, the scan may end as soon
// as a place and the first line end are known (places is then 1, and zero tells only of the
// bytes read).
ByteScan scanFileBytes(int fd, off_t offset, std::string_view needle, std::vector<char>& buffer, bool whole = true);

// The replacement of a search text on the bytes of a UTF-8 file, written as the text path
// writes the new text (see FileRewriter::rewriteBytes). The content (the file's bytes after
// its mark, holding no zero byte) is given in order, whole or in parts.
class ByteReplacement {
public:
    // needle and replacement are the search text and the replacement in the file's
    // encoding (UTF-8, or a single-byte set whose line ends are the ASCII bytes; the needle
    // not empty); with keepLineEnds, each line end is written back as it was, and the
    // replacement's line breaks as firstLineEnd (the content's, see firstLineEnd).
    ByteReplacement(std::string_view needle, std::string_view replacement, bool keepLineEnds,
                    std::string_view firstLineEnd);

    // Writes the new bytes for the next part of the content and gives how many of its bytes
    // were taken: the rest (a few bytes at its end, which the bytes after them decide) must
    // begin the next part. last: bytes run to the content's end; all of them are taken.
    size_t feed(TextFile& file, std::string_view bytes, bool last);
    // The number of places replaced so far.
    size_t places() const { return places_; }

private:
    // bytes with every line break in it (CR LF, a lone CR, a lone LF) as lineEnd.
    static std::string withBreaks(std::string_view bytes, std::string_view lineEnd);
    // Writes content bytes outside the places; final: they end the content.
    void writeBetween(TextFile& file, const char* p, const char* stop, bool final);
    // Writes the bytes [p, stop) before, between or after places (which hold no CR or LF)
    // with each line end as CR LF. The text has no line break for a line end that ends the
    // file: while nothing of the text was written, such a line end alone gives nothing.
    void writeAsLines(TextFile& file, const char* p, const char* stop, bool final);

    std::string_view needle_;
    bool keepLineEnds_;
    std::string replacement_;  // the replacement's bytes with its line breaks as they are written
    std::string afterCr_;      // the same, where it follows a replacement ending in CR
    bool endsInCr_ = false;
    bool crBefore_ = false;  // what was written last is a replacement that ends in CR
    bool written_ = false;   // some of the new text was written
    size_t places_ = 0;
};

// Replaces the content of the file open on fd, from offset to its end, a window at a time
// in buffer, writing the new bytes to out; false when reading ended in an error. A zero
// byte ends it early, with zero set: what was written is not the whole new content.
bool replaceFileBytes(int fd, off_t offset, ByteReplacement& replacement, TextFile& out, std::vector<char>& buffer,
                      bool& zero);
