#pragma once
// A regular expression replaced on the bytes of a UTF-8 file (see
// FileRewriter::rewriteUtf8Regex): the file's bytes made into the UTF-8 form of the text the
// UTF-16 path searches, in their own storage, and the new file written from them and the
// places found, without a new text in memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/replace.h"
#include "engine/text_file.h"
#include "engine/utf8_regex.h"

// True when content (a file's bytes after its mark) is valid UTF-8 (shortest forms, no
// surrogate, at most U+10FFFF) without a zero byte. Then added is the number of its line
// ends that are a lone CR or a lone LF, and ends holds its line ends as the reader notes
// them (one per line end, and whether the last line has one).
bool scanUtf8Lines(std::string_view content, std::size_t& added, LineEnds& ends);

// Makes the size bytes at data, in which added line ends are a lone CR or a lone LF, into
// the same lines with every line end CR LF: a lone CR gets an LF after it, a lone LF a CR
// before it. The storage must have room for size + added bytes; the new bytes are written
// from the back, in place.
void expandLineEnds(char* data, std::size_t size, std::size_t added);

// The replacement of a row's regular expression in a subject, the UTF-8 form of the text
// the UTF-16 path searches: the same places, result and count as findReplacements on that
// text, and the new file's bytes as that path writes them.
class Utf8RegexReplacement {
public:
    // Finds every place at once (the subject must be shorter than 4 GiB and stay unchanged
    // while the replacement is used). row.utf8Pattern must be set.
    Utf8RegexReplacement(std::string_view subject, const PreparedRow& row, Utf8Matcher& matcher);

    ReplaceResult result() const { return result_; }
    // The number of places replaced (non-empty matches).
    std::size_t count() const { return size_; }

    // Writes the new text with the file's own line ends (as LineEndKeeper makes it).
    void writeKeepingLineEnds(TextFile& out, const LineEnds& ends, bool lastInText) const;
    // Writes the new text as lines with CR LF after each (as the UTF-16 path writes its
    // new text without kept line ends); lastLineEndSearched says that the subject holds the
    // last line's end, which then ends the new text's last line.
    void writeAsLines(TextFile& out, bool lastLineEndSearched) const;

private:
    // One place: the match and the group put in for "\1" (begin and end in the subject).
    struct Edit {
        uint32_t start;
        uint32_t end;
        uint32_t groupStart;
        uint32_t groupEnd;
    };
    // Edits are kept in chunks that never grow once made (each as large as all before it,
    // up to a bound): a large file's many places are never copied to larger storage while
    // they are found, and a small file's few take little.
    static constexpr std::size_t firstChunk = 64;
    static constexpr std::size_t largestChunk = 16384;
    void add(const Edit& edit);
    // The replacement's bytes for an edit, in scratch.
    std::string_view replacementOf(const Edit& edit, std::string& scratch) const;
    template <typename Keeper>
    void writeEdits(Keeper& keeper) const;

    std::string_view subject_;
    // The replacement's UTF-8 bytes cut at each "\1": group 1 goes between two parts.
    std::vector<std::string> parts_;
    std::vector<std::vector<Edit>> chunks_;
    std::size_t size_ = 0;
    ReplaceResult result_ = ReplaceResult::unchanged;
};
