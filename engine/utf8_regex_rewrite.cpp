#include "engine/utf8_regex_rewrite.h"

#include <algorithm>
#include <cstring>

#include "engine/byte_replace.h"
#include "engine/file_rewrite.h"
#include "engine/line_end_keeper.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// ---- The file's bytes as the subject ----------------------------------------------------

#ifdef __SSE2__
// Bit i is set where byte i of the sixteen at p is not plain ASCII text: 80..FF, CR, LF or
// zero.
unsigned specialMask16(const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i ends = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')),
                                                   _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))),
                                      _mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(ends, bytes)));
}
#endif

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 sequence that begins with the byte 80..FF at p, or 0.
std::size_t sequenceLength(const unsigned char* p, const unsigned char* stop) {
    const unsigned char lead = p[0];
    const std::size_t left = static_cast<std::size_t>(stop - p);
    if (lead >= 0xC2 && lead <= 0xDF) return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(p[1]) || !isContinuation(p[2])) return 0;
        if (lead == 0xE0 && p[1] < 0xA0) return 0;   // not the shortest form
        if (lead == 0xED && p[1] >= 0xA0) return 0;  // a surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3])) return 0;
        if (lead == 0xF0 && p[1] < 0x90) return 0;   // not the shortest form
        if (lead == 0xF4 && p[1] >= 0x90) return 0;  // beyond U+10FFFF
        return 4;
    }
    return 0;
}

// The last CR or LF byte in [begin, p), or null.
const char* findLastBreakByte(const char* begin, const char* p) {
#ifdef __SSE2__
    while (p - begin >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p - 16));
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))));
        if (mask != 0) return p - 16 + (31 - __builtin_clz(mask));
        p -= 16;
    }
#endif
    while (p > begin) {
        --p;
        if (*p == '\r' || *p == '\n') return p;
    }
    return nullptr;
}

// ---- Writing the new text ---------------------------------------------------------------

// Where a keeper's new text goes: straight into the new file.
struct FileSink {
    TextFile& file;
    void append(std::string_view bytes) {
        if (!bytes.empty()) writeBytes(file, bytes);
    }
};

// Writes a text given in pieces as the UTF-16 path writes a new text as lines: split at
// CR LF, a lone CR and a lone LF, each line with CR LF after it. A line break is held back
// until more of the text follows it, so that the text's last one can be made its last
// line's end (lastLineEndSearched: the text holds that line end) or an empty last line.
class CrLfLines {
public:
    CrLfLines(TextFile& out, bool lastLineEndSearched) : out_(out), lastLineEndSearched_(lastLineEndSearched) {}

    void append(std::string_view piece) {
        const char* p = piece.data();
        const char* const stop = p + piece.size();
        while (p < stop) {
            const char* const q = findBreakByte(p, stop);
            if (q > p) {
                flush();
                writeBytes(out_, std::string_view(p, static_cast<std::size_t>(q - p)));
                wrote_ = true;
            }
            if (q == stop) break;
            if (*q == '\n' && pending_ == afterCr) {
                pending_ = whole;
            } else {
                flush();
                pending_ = *q == '\r' ? afterCr : whole;
            }
            p = q + 1;
        }
    }

    void finish() {
        if (pending_ != none) {
            // The text ends with a line break: the last line's end when the text holds it
            // (nothing when it is the whole text), else the end of a line before an empty
            // last one.
            if (!lastLineEndSearched_) {
                writeBytes(out_, "\r\n\r\n");
            } else if (wrote_) {
                writeBytes(out_, "\r\n");
            }
        } else if (wrote_) {
            writeBytes(out_, "\r\n");
        }
    }

private:
    enum Pending { none, afterCr, whole };
    void flush() {
        if (pending_ == none) return;
        writeBytes(out_, "\r\n");
        wrote_ = true;
        pending_ = none;
    }

    TextFile& out_;
    bool lastLineEndSearched_;
    Pending pending_ = none;  // a line break not written yet (afterCr: it was a CR so far)
    bool wrote_ = false;      // some of the new text was written
};

}  // namespace

bool scanUtf8Lines(std::string_view content, std::size_t& added, LineEnds& ends) {
    added = 0;
    ends.kinds.clear();
    ends.last = false;
    const char* p = content.data();
    const char* const stop = p + content.size();
    while (p < stop) {
#ifdef __SSE2__
        if (stop - p >= 16) {
            const unsigned mask = specialMask16(p);
            if (mask == 0) {
                p += 16;
                continue;
            }
            p += __builtin_ctz(mask);
        }
#endif
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte >= 0x80) {
            const std::size_t length =
                sequenceLength(reinterpret_cast<const unsigned char*>(p), reinterpret_cast<const unsigned char*>(stop));
            if (length == 0) return false;
            p += length;
        } else if (byte == '\r') {
            const bool pair = p + 1 < stop && p[1] == '\n';
            ends.kinds.push_back(pair ? LineEnds::crLf : LineEnds::cr);
            added += pair ? 0 : 1;
            p += pair ? 2 : 1;
        } else if (byte == '\n') {
            ends.kinds.push_back(LineEnds::lf);
            ++added;
            ++p;
        } else if (byte == 0) {
            return false;
        } else {
            ++p;
        }
    }
    ends.last = !content.empty() && (content.back() == '\r' || content.back() == '\n');
    return true;
}

void expandLineEnds(char* data, std::size_t size, std::size_t added) {
    char* src = data + size;  // the bytes before it are still to be moved
    char* dst = src + added;  // the new bytes after it are in place
    while (src != dst) {
        const char* const q = findLastBreakByte(data, src);
        const char* const runStart = q == nullptr ? data : q + 1;
        const std::size_t run = static_cast<std::size_t>(src - runStart);
        dst -= run;
        std::memmove(dst, runStart, run);
        src -= run;
        if (q == nullptr) break;
        // q == src - 1: a CR LF stays; a lone LF gets a CR before it, a lone CR an LF after.
        --src;
        if (*q == '\n' && src > data && src[-1] == '\r') --src;
        dst -= 2;
        dst[0] = '\r';
        dst[1] = '\n';
    }
}

Utf8RegexReplacement::Utf8RegexReplacement(std::string_view subject, const PreparedRow& row, Utf8Matcher& matcher)
    : subject_(subject) {
    const std::string replacement = textToUtf8(row.replacement);
    for (std::size_t from = 0;;) {
        const std::size_t at = replacement.find("\\1", from);
        parts_.push_back(replacement.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) break;
        from = at + 2;
    }
    if (!matcher.use(row.utf8Pattern) || !matcher.begin(subject)) {
        result_ = ReplaceResult::failed;
        return;
    }
    std::string scratch;
    bool changed = false;
    while (matcher.next()) {
        if (matcher.length() == 0) continue;
        Edit edit{};
        edit.start = static_cast<uint32_t>(matcher.start());
        edit.end = static_cast<uint32_t>(matcher.start() + matcher.length());
        std::size_t groupStart = 0;
        std::size_t groupEnd = 0;
        if (parts_.size() > 1 && matcher.group(1, groupStart, groupEnd)) {
            edit.groupStart = static_cast<uint32_t>(groupStart);
            edit.groupEnd = static_cast<uint32_t>(groupEnd);
        }
        changed = changed || subject.substr(edit.start, edit.end - edit.start) != replacementOf(edit, scratch);
        add(edit);
    }
    if (matcher.failed()) result_ = ReplaceResult::failed;
    else result_ = changed ? ReplaceResult::changed : ReplaceResult::unchanged;
}

void Utf8RegexReplacement::add(const Edit& edit) {
    if (chunks_.empty() || chunks_.back().size() == chunks_.back().capacity()) {
        chunks_.emplace_back();
        chunks_.back().reserve(std::min(largestChunk, std::max(firstChunk, size_)));
    }
    chunks_.back().push_back(edit);
    ++size_;
}

std::string_view Utf8RegexReplacement::replacementOf(const Edit& edit, std::string& scratch) const {
    if (parts_.size() == 1) return parts_.front();
    const std::string_view group = subject_.substr(edit.groupStart, edit.groupEnd - edit.groupStart);
    scratch.assign(parts_.front());
    for (std::size_t i = 1; i < parts_.size(); ++i) {
        scratch.append(group);
        scratch.append(parts_[i]);
    }
    return scratch;
}

// Hands the keeper every edit in order, then the rest of the subject.
template <typename Keeper>
void Utf8RegexReplacement::writeEdits(Keeper& keeper) const {
    std::string scratch;
    for (const std::vector<Edit>& chunk : chunks_)
        for (const Edit& edit : chunk) keeper.edit(edit.start, edit.end - edit.start, replacementOf(edit, scratch));
    keeper.finish();
}

void Utf8RegexReplacement::writeKeepingLineEnds(TextFile& out, const LineEnds& ends, bool lastInText) const {
    FileSink sink{out};
    BasicLineEndKeeper<char, FileSink> keeper(subject_, ends, lastInText, sink);
    writeEdits(keeper);
}

void Utf8RegexReplacement::writeAsLines(TextFile& out, bool lastLineEndSearched) const {
    // The new text, piece by piece: the subject between places and the replacements.
    struct Pieces {
        std::string_view subject;
        CrLfLines lines;
        std::size_t done = 0;
        void edit(std::size_t start, std::size_t length, std::string_view replacement) {
            lines.append(subject.substr(done, start - done));
            lines.append(replacement);
            done = start + length;
        }
        void finish() {
            lines.append(subject.substr(done));
            lines.finish();
        }
    } pieces{subject_, CrLfLines(out, lastLineEndSearched)};
    writeEdits(pieces);
}

// ---- The rewriter's part ----------------------------------------------------------------

// Why the bytes give what the UTF-16 path gives, for a valid UTF-8 file without a zero byte:
// - Its text is its lines decoded, joined by CR LF (the last line's end only when searched).
//   Decoding valid UTF-8 is a one-to-one map of characters, so the subject made here (the
//   bytes with every line end as CR LF, the last one dropped unless searched) is the UTF-8
//   form of that text, character for character.
// - compileUtf8Pattern compiles the same pattern with the same options, so the 8-bit
//   library finds the same matches at the same characters; the iteration (regex_common.h)
//   and limits are the same, and "\C", the only item that sees code units, is refused.
// - The replacement has no lone surrogate, so its UTF-8 form put beside the text's is the
//   UTF-8 form of the two texts together; equal texts have equal UTF-8 forms.
// - Line breaks are written by the same rules, on bytes: the keeper is the same code, and
//   CrLfLines writes the lines of writeLines.
std::optional<FileOutcome> FileRewriter::rewriteUtf8Regex(size_t index, const std::string& path,
                                                          const PreparedRow& row, TextFile& file,
                                                          const struct stat& opened, TextFormat format,
                                                          const BeforeWrite& beforeWrite,
                                                          const BeforeRename& beforeRename) {
    const std::size_t markBytes = format == TextFormat::utf8 ? 3 : 0;
    std::size_t added = 0;
    const std::string_view content = bytes_.view().substr(markBytes);
    if (!scanUtf8Lines(content, added, lineEnds_)) return std::nullopt;
    if (content.size() + added >= UINT32_MAX) return std::nullopt;
    // The file has no text here: a large text left from an earlier file is let go.
    if (text_.capacity() > largeFileBytes) text_ = Text();
    text_.clear();
    const std::size_t size = bytes_.size + added;
    bytes_.reserve(size);
    expandLineEnds(bytes_.storage.get() + markBytes, bytes_.size - markBytes, added);
    bytes_.size = size;
    std::string_view subject = bytes_.view().substr(markBytes);
    if (!options_.lastLineEndSearched && lineEnds_.last) subject.remove_suffix(2);

    const Utf8RegexReplacement replacement(subject, row, utf8Matcher_);
    switch (replacement.result()) {
        case ReplaceResult::unchanged: return FileOutcome::unchanged;
        case ReplaceResult::failed: return fail(FailureCause::matchLimit);
        case ReplaceResult::changed: break;
    }
    replacements_ = replacement.count();
    // A read error left the bytes short of the file: writing them back would cut it.
    if (readFailed(file)) return fail(FailureCause::notWholeText);
    return finishChange(index, path, file, opened, format, beforeWrite, beforeRename, [&](TextFile& out) {
        if (options_.keepLineEnds) replacement.writeKeepingLineEnds(out, lineEnds_, options_.lastLineEndSearched);
        else replacement.writeAsLines(out, options_.lastLineEndSearched);
    });
}
