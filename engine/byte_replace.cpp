#include "engine/byte_replace.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

#ifdef __SSE2__
// Bit i is set where byte i of the sixteen at p is CR or LF.
unsigned breakMask16(const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')))));
}
#endif

}  // namespace

const char* findBreakByte(const char* p, const char* stop) {
#ifdef __SSE2__
    for (; stop - p >= 16; p += 16) {
        const unsigned mask = breakMask16(p);
        if (mask != 0) return p + __builtin_ctz(mask);
    }
#endif
    while (p < stop && *p != '\r' && *p != '\n') ++p;
    return p;
}

// Sixteen places at a time are tested for the needle's first and last bytes; only where
// both are found are the bytes between compared.
const char* findBytes(const char* p, const char* stop, std::string_view needle) {
    const size_t n = needle.size();
    if (static_cast<size_t>(stop - p) < n) return stop;
#ifdef __SSE2__
    if (n >= 2) {
        const __m128i first = _mm_set1_epi8(needle.front());
        const __m128i last = _mm_set1_epi8(needle.back());
        const char* const lastStart = stop - n;  // the last place an occurrence can begin
        for (; lastStart - p >= 15; p += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last))));
            while (mask != 0) {
                const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
                if (std::memcmp(p + at + 1, needle.data() + 1, n - 2) == 0) return p + at;
                mask &= mask - 1;
            }
        }
    }
#endif
    const void* hit = memmem(p, static_cast<size_t>(stop - p), needle.data(), n);
    return hit != nullptr ? static_cast<const char*>(hit) : stop;
}

ByteReplacement::ByteReplacement(std::string_view content, std::string_view needle, TextView replacement,
                                 bool keepLineEnds)
    : content_(content), needle_(needle), keepLineEnds_(keepLineEnds) {
    const std::string bytes = textToUtf8(replacement);
    if (keepLineEnds) {
        // Each line break of the replacement as the file's first line end (LF for none).
        const char* const end = content.data() + content.size();
        const char* const first = findBreakByte(content.data(), end);
        std::string_view firstEnd = "\n";
        if (first != end && *first == '\r') firstEnd = first + 1 < end && first[1] == '\n' ? "\r\n" : "\r";
        replacement_ = withBreaks(bytes, firstEnd);
    } else {
        // Each line break as CR LF; an LF that begins the replacement is the second half
        // of a CR LF when the same replacement ending in CR stands just before it.
        replacement_ = withBreaks(bytes, "\r\n");
        endsInCr_ = !bytes.empty() && bytes.back() == '\r';
        afterCr_ = !bytes.empty() && bytes.front() == '\n' ? replacement_.substr(2) : replacement_;
    }
}

size_t ByteReplacement::count() const {
    size_t places = 0;
    const char* const end = content_.data() + content_.size();
    for (const char* p = content_.data(); (p = findBytes(p, end, needle_)) != end; p += needle_.size()) ++places;
    return places;
}

size_t ByteReplacement::writeTo(TextFile& file) {
    const char* p = content_.data();
    const char* const end = p + content_.size();
    size_t places = 0;
    bool crBefore = false;  // what was written last is a replacement that ends in CR
    for (;;) {
        const char* const hit = findBytes(p, end, needle_);
        if (keepLineEnds_) {
            writeBytes(file, std::string_view(p, static_cast<size_t>(hit - p)));
        } else if (hit != p) {
            writeAsLines(file, p, hit);
            crBefore = false;
        }
        if (hit == end) break;
        ++places;
        const std::string& replacement = crBefore ? afterCr_ : replacement_;
        writeBytes(file, replacement);
        written_ = written_ || !replacement.empty();
        crBefore = endsInCr_;
        p = hit + needle_.size();
    }
    // The text written as lines has a line end after its last line, unless it is empty;
    // a line end that ends the file is its last line's already.
    if (!keepLineEnds_ && written_ && !endsInBreak()) writeBytes(file, "\r\n");
    return places;
}

std::string ByteReplacement::withBreaks(std::string_view bytes, std::string_view lineEnd) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') {
            out += bytes[i];
            continue;
        }
        out += lineEnd;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    return out;
}

bool ByteReplacement::endsInBreak() const {
    return !content_.empty() && (content_.back() == '\r' || content_.back() == '\n');
}

void ByteReplacement::writeAsLines(TextFile& file, const char* p, const char* stop) {
    const std::string_view part(p, static_cast<size_t>(stop - p));
    if (!written_ && stop == content_.data() + content_.size() && (part == "\r\n" || part == "\r" || part == "\n"))
        return;
    written_ = true;
    const char* run = p;
    for (const char* q = p; (q = findBreakByte(q, stop)) != stop;) {
        if (*q == '\r' && q + 1 < stop && q[1] == '\n') {
            q += 2;
            continue;
        }
        // A lone CR gets an LF after it; a lone LF a CR before it.
        if (*q == '\r') {
            writeBytes(file, std::string_view(run, static_cast<size_t>(q + 1 - run)));
            writeBytes(file, "\n");
        } else {
            writeBytes(file, std::string_view(run, static_cast<size_t>(q - run)));
            writeBytes(file, "\r\n");
        }
        run = ++q;
    }
    writeBytes(file, std::string_view(run, static_cast<size_t>(stop - run)));
}
