#include "engine/byte_replace.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unistd.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define BYTE_SEARCH_AVX2 1
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

// Reads the file open on fd from offset to its end, a window at a time, into buffer. consume
// is given the bytes it did not take the time before followed by those just read, and
// gives how many it takes now; the last time (at the end of the file) it takes them all.
// False when reading ended in an error (consume is not told the end then). consume may
// give stopReading to end the reading there.
constexpr size_t stopReading = SIZE_MAX;
template <class Consume>
bool readInWindows(int fd, off_t offset, std::vector<char>& buffer, Consume consume) {
    constexpr size_t window = size_t{1} << 20;
    size_t held = 0;
    for (;;) {
        if (buffer.size() < held + window) buffer.resize(held + window);
        ssize_t got;
        do {
            got = ::pread(fd, buffer.data() + held, window, offset);
        } while (got < 0 && errno == EINTR);
        if (got < 0) return false;
        offset += got;
        const size_t size = held + static_cast<size_t>(got);
        const bool last = got == 0;
        const size_t taken = consume(std::string_view(buffer.data(), size), last);
        if (last || taken == stopReading) return true;
        held = size - taken;
        std::memmove(buffer.data(), buffer.data() + taken, held);
    }
}

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

#ifdef BYTE_SEARCH_AVX2
namespace {

// findBytes thirty-two places at a time, on processors with AVX2 (needle of two bytes or
// more); gives where the sixteen-at-a-time search goes on when it found nothing.
__attribute__((target("avx2"))) const char* findBytesAvx2(const char* p, const char* stop, std::string_view needle,
                                                           bool& found) {
    const size_t n = needle.size();
    const size_t middle = n / 2;
    const __m256i first = _mm256_set1_epi8(needle.front());
    const __m256i centre = _mm256_set1_epi8(needle[middle]);
    const __m256i last = _mm256_set1_epi8(needle.back());
    const char* const lastStart = stop - n;
    for (; lastStart - p >= 31; p += 32) {
        const __m256i heads = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i centres = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + middle));
        const __m256i tails = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + n - 1));
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(
            _mm256_and_si256(_mm256_cmpeq_epi8(heads, first), _mm256_cmpeq_epi8(tails, last)),
            _mm256_cmpeq_epi8(centres, centre))));
        while (mask != 0) {
            const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
            if (n <= 3 || std::memcmp(p + at + 1, needle.data() + 1, n - 2) == 0) {
                found = true;
                return p + at;
            }
            mask &= mask - 1;
        }
    }
    found = false;
    return p;
}

const bool hasAvx2 = __builtin_cpu_supports("avx2");

}  // namespace
#endif

// Sixteen places at a time (thirty-two with AVX2) are tested for the needle's first,
// middle and last bytes (in text, a pair of common letters often stands at the ends of a
// word); only where all three are found are the other bytes compared.
const char* findBytes(const char* p, const char* stop, std::string_view needle) {
    const size_t n = needle.size();
    if (static_cast<size_t>(stop - p) < n) return stop;
#ifdef BYTE_SEARCH_AVX2
    if (hasAvx2 && n >= 2) {
        bool found = false;
        p = findBytesAvx2(p, stop, needle, found);
        if (found) return p;
    }
#endif
#ifdef __SSE2__
    if (n >= 2) {
        const size_t middle = n / 2;
        const __m128i first = _mm_set1_epi8(needle.front());
        const __m128i centre = _mm_set1_epi8(needle[middle]);
        const __m128i last = _mm_set1_epi8(needle.back());
        const char* const lastStart = stop - n;  // the last place an occurrence can begin
        for (; lastStart - p >= 15; p += 16) {
            const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const __m128i centres = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + middle));
            const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(
                _mm_and_si128(_mm_cmpeq_epi8(heads, first), _mm_cmpeq_epi8(tails, last)),
                _mm_cmpeq_epi8(centres, centre))));
            while (mask != 0) {
                const unsigned at = static_cast<unsigned>(__builtin_ctz(mask));
                if (n <= 3 || std::memcmp(p + at + 1, needle.data() + 1, n - 2) == 0) return p + at;
                mask &= mask - 1;
            }
        }
    }
#endif
    const void* hit = memmem(p, static_cast<size_t>(stop - p), needle.data(), n);
    return hit != nullptr ? static_cast<const char*>(hit) : stop;
}

std::string_view firstLineEnd(std::string_view content) {
    const char* const end = content.data() + content.size();
    const char* const first = findBreakByte(content.data(), end);
    if (first == end || *first == '\n') return "\n";
    return first + 1 < end && first[1] == '\n' ? "\r\n" : "\r";
}

size_t countBytes(std::string_view content, std::string_view needle) {
    size_t places = 0;
    const char* const end = content.data() + content.size();
    for (const char* p = content.data(); (p = findBytes(p, end, needle)) != end; p += needle.size()) ++places;
    return places;
}

ByteScan scanFileBytes(int fd, off_t offset, std::string_view needle, std::vector<char>& buffer, bool whole) {
    ByteScan scan;
    bool lineEndSeen = false;
    // At least one byte waits for the next window (so that a CR's next byte is known), and
    // as many as may begin a place that the next window ends.
    const size_t kept = std::max<size_t>(needle.size() - 1, 1);
    scan.readError = !readInWindows(fd, offset, buffer, [&](std::string_view bytes, bool last) {
        const char* const begin = bytes.data();
        const char* const end = begin + bytes.size();
        const char* p = begin;
        for (const char* hit; (hit = findBytes(p, end, needle)) != end; p = hit + needle.size()) ++scan.places;
        const size_t taken = last ? bytes.size()
                                  : std::max(static_cast<size_t>(p - begin), bytes.size() - std::min(bytes.size(), kept));
        scan.zero = scan.zero || std::memchr(begin, 0, taken) != nullptr;
        if (!lineEndSeen) {
            const char* const first = findBreakByte(begin, begin + taken);
            if (first != begin + taken) {
                lineEndSeen = true;
                scan.firstLineEnd = firstLineEnd(std::string_view(first, static_cast<size_t>(end - first)));
            }
        }
        if (!whole && scan.places > 0 && (lineEndSeen || last)) return stopReading;
        return taken;
    });
    return scan;
}

ByteReplacement::ByteReplacement(std::string_view needle, std::string_view bytes, bool keepLineEnds,
                                 std::string_view firstLineEnd)
    : needle_(needle), keepLineEnds_(keepLineEnds) {
    if (keepLineEnds) {
        // Each line break of the replacement as the file's first line end.
        replacement_ = withBreaks(bytes, firstLineEnd);
    } else {
        // Each line break as CR LF; an LF that begins the replacement is the second half
        // of a CR LF when the same replacement ending in CR stands just before it.
        replacement_ = withBreaks(bytes, "\r\n");
        endsInCr_ = !bytes.empty() && bytes.back() == '\r';
        afterCr_ = !bytes.empty() && bytes.front() == '\n' ? replacement_.substr(2) : replacement_;
    }
}

size_t ByteReplacement::feed(TextFile& file, std::string_view bytes, bool last) {
    const char* const begin = bytes.data();
    const char* const end = begin + bytes.size();
    const char* p = begin;
    for (;;) {
        const char* const hit = findBytes(p, end, needle_);
        if (hit == end && !last) {
            // The bytes at the end wait for those after them: they may begin a place, or be
            // the line end that ends the content, and a CR may be the first half of a CR LF.
            const size_t kept = std::max<size_t>(needle_.size() - 1, 2);
            const char* stop = bytes.size() > kept ? end - kept : begin;
            if (stop < p) stop = p;
            if (!keepLineEnds_ && stop > p && stop[-1] == '\r') --stop;
            writeBetween(file, p, stop, false);
            return static_cast<size_t>(stop - begin);
        }
        writeBetween(file, p, hit, hit == end);
        if (hit == end) break;
        ++places_;
        const std::string& replacement = crBefore_ ? afterCr_ : replacement_;
        writeBytes(file, replacement);
        written_ = written_ || !replacement.empty();
        crBefore_ = endsInCr_;
        p = hit + needle_.size();
    }
    // The text written as lines has a line end after its last line, unless it is empty;
    // a line end that ends the file is its last line's already.
    const bool endsInBreak = !bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n');
    if (!keepLineEnds_ && written_ && !endsInBreak) writeBytes(file, "\r\n");
    return bytes.size();
}

void ByteReplacement::writeBetween(TextFile& file, const char* p, const char* stop, bool final) {
    if (keepLineEnds_) {
        writeBytes(file, std::string_view(p, static_cast<size_t>(stop - p)));
    } else if (stop != p) {
        writeAsLines(file, p, stop, final);
        crBefore_ = false;
    }
}

bool replaceFileBytes(int fd, off_t offset, ByteReplacement& replacement, TextFile& out, std::vector<char>& buffer,
                      bool& zero) {
    zero = false;
    return readInWindows(fd, offset, buffer, [&](std::string_view bytes, bool last) {
        if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
            zero = true;
            return stopReading;
        }
        return replacement.feed(out, bytes, last);
    });
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

void ByteReplacement::writeAsLines(TextFile& file, const char* p, const char* stop, bool final) {
    const std::string_view part(p, static_cast<size_t>(stop - p));
    if (!written_ && final && (part == "\r\n" || part == "\r" || part == "\n")) return;
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
