#pragma once
// What the fuzz targets share: reading the fields of an input, a scratch folder with files
// in it, plain reference implementations to compare the program's services with, and the
// report of a broken property (printed, then abort(), which libFuzzer records as a finding
// with the input that caused it).
//
// Inputs are laid out as a few header bytes, then fields each preceded by a one-byte
// length, then the rest of the input as the last field. Texts come from a field either as
// UTF-8 (bytes that are not UTF-8 become the escape units U+DC80..U+DCFF, as in files) or,
// with a header bit, as raw little-endian UTF-16 units, so that any unit can occur.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_rewrite.h"
#include "engine/text.h"
#include "tests/support/scratch_folder.h"

namespace fuzz {

// ---- input -----------------------------------------------------------------------------

class Input {
public:
    Input(const uint8_t* data, size_t size) : p_(reinterpret_cast<const char*>(data)), left_(size) {}
    // The next byte, 0 when the input has ended.
    uint8_t byte() {
        if (left_ == 0) return 0;
        --left_;
        return static_cast<uint8_t>(*p_++);
    }
    // A field with a one-byte length in front (cut short where the input ends).
    std::string field() {
        size_t n = byte();
        if (n > left_) n = left_;
        std::string out(p_, n);
        p_ += n;
        left_ -= n;
        return out;
    }
    // All that is left.
    std::string rest() {
        std::string out(p_, left_);
        p_ += left_;
        left_ = 0;
        return out;
    }

private:
    const char* p_;
    size_t left_;
};

// The text of a field: UTF-8 decoded losslessly, or raw UTF-16LE units (an odd last byte
// dropped).
inline Text textOf(std::string_view bytes, bool rawUnits) {
    if (!rawUnits) return textFromUtf8(bytes);
    Text out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return out;
}

// ---- reporting -------------------------------------------------------------------------

inline std::string hexOf(std::string_view bytes, size_t limit = 400) {
    std::string out;
    char two[4];
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(bytes[i]));
        if (!out.empty()) out += ' ';
        out += two;
    }
    if (bytes.size() > limit) out += " ...";
    return out;
}

inline std::string unitsOf(TextView text, size_t limit = 200) {
    std::string out;
    char four[8];
    for (size_t i = 0; i < text.size() && i < limit; ++i) {
        std::snprintf(four, sizeof four, "%04x", static_cast<unsigned>(text[i]));
        if (!out.empty()) out += ' ';
        out += four;
    }
    if (text.size() > limit) out += " ...";
    return "[" + out + "]";
}

[[noreturn]] inline void fail(const char* format, ...) {
    std::fprintf(stderr, "\n*** property broken: ");
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    std::abort();
}

// FUZZ_EXPECT(condition, format, ...): the property, and what to print when it is broken.
#define FUZZ_EXPECT(condition, ...)                                                  \
    do {                                                                              \
        if (!(condition)) {                                                           \
            std::fprintf(stderr, "\n%s:%d: %s\n", __FILE__, __LINE__, #condition);   \
            ::fuzz::fail(__VA_ARGS__);                                                \
        }                                                                             \
    } while (0)

// ---- files -----------------------------------------------------------------------------

// A scratch folder of this process, made on first use (in $TMPDIR or /tmp) and removed
// with what the targets left there at exit. It outlives every static object, for the exit
// handler.
inline const std::string& scratchFolder() {
    static const std::string* const folder = [] {
        static auto* const scratch = new testing_support::ScratchFolder;
        if (!scratch->make("rif-fuzz")) fail("cannot make a scratch folder: %s", std::strerror(errno));
        std::atexit([] { scratch->remove(); });
        return new std::string(scratch->path().string());
    }();
    return *folder;
}

inline std::string scratchPath(const char* name) { return scratchFolder() + "/" + name; }

inline void writeFile(const std::string& path, std::string_view bytes, mode_t mode = 0644) {
    ::unlink(path.c_str());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) fail("cannot write %s", path.c_str());
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
        fail("cannot write %s", path.c_str());
    std::fclose(f);
    ::chmod(path.c_str(), mode);
}

// The bytes of a file; "<missing>" is never a file's content here, so a missing file shows.
inline std::string readFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string out;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, got);
    std::fclose(f);
    return out;
}

// The names in the scratch folder: no temporary file may stay behind.
inline std::vector<std::string> scratchNames() {
    std::vector<std::string> names;
    DIR* folder = ::opendir(scratchFolder().c_str());
    if (folder == nullptr) return names;
    while (const dirent* entry = ::readdir(folder)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    ::closedir(folder);
    return names;
}

// ---- references ------------------------------------------------------------------------

inline bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// True when the text holds a surrogate that is not half of a pair.
inline bool hasLoneSurrogate(TextView t) {
    for (size_t i = 0; i < t.size(); ++i) {
        if (isHighSurrogate(t[i]) && i + 1 < t.size() && isLowSurrogate(t[i + 1])) {
            ++i;
            continue;
        }
        if (isHighSurrogate(t[i]) || isLowSurrogate(t[i])) return true;
    }
    return false;
}

// Every occurrence of find in text, tried at each place from left to right; an occurrence
// found skips past itself (no overlap). Units are compared as they are, or after
// lowerCaseUnit when case is ignored.
inline std::vector<size_t> referenceOccurrences(TextView text, TextView find, bool ignoreCase) {
    std::vector<size_t> at;
    if (find.empty()) return at;
    auto same = [&](char16_t a, char16_t b) {
        return ignoreCase ? lowerCaseUnit(a) == lowerCaseUnit(b) : a == b;
    };
    size_t i = 0;
    while (i + find.size() <= text.size()) {
        size_t k = 0;
        while (k < find.size() && same(text[i + k], find[k])) ++k;
        if (k == find.size()) {
            at.push_back(i);
            i += find.size();
        } else {
            ++i;
        }
    }
    return at;
}

// The first place at or after from where find occurs (overlap with earlier ones allowed).
inline size_t referenceFind(TextView text, TextView find, size_t from, bool ignoreCase) {
    if (find.empty()) return TextView::npos;
    for (size_t i = from; i + find.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < find.size() && (ignoreCase ? lowerCaseUnit(text[i + k]) == lowerCaseUnit(find[k])
                                              : text[i + k] == find[k]))
            ++k;
        if (k == find.size()) return i;
    }
    return TextView::npos;
}

// Replace-all the simple way: each occurrence (as above) replaced, all else kept.
inline Text referenceReplace(TextView text, TextView find, TextView replacement, bool ignoreCase) {
    Text out;
    size_t done = 0;
    for (size_t at : referenceOccurrences(text, find, ignoreCase)) {
        out.append(text.substr(done, at - done));
        out.append(replacement);
        done = at + find.size();
    }
    out.append(text.substr(done));
    return out;
}

// A regular expression that matches exactly the text (each character written as \x{...}),
// or the empty text when there is none: a lone surrogate, and U+FFFF (which the matcher
// sees in place of a lone surrogate of the subject), cannot be spelt so.
inline Text literalPattern(TextView text) {
    if (text.empty() || hasLoneSurrogate(text)) return Text();
    std::string pattern;
    char buffer[16];
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c == 0xFFFF) return Text();
        if (isHighSurrogate(text[i])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        std::snprintf(buffer, sizeof buffer, "\\x{%X}", static_cast<unsigned>(c));
        pattern += buffer;
    }
    return textFromUtf8(pattern);
}

// The "ansi" character sets the targets read files in: "" is UTF-8; the others are code
// pages the program offers, single-byte and multi-byte ones.
inline const std::vector<std::string>& ansiCharsets() {
    static const std::vector<std::string> sets = {"", "CP1251", "CP932", "ISO-8859-1", "CP1252", "KOI8-R",
                                                  "CP936", "CP949", "CP950", "CP1253", "CP874", "ISO-8859-7"};
    return sets;
}

// ---- files and their texts ----------------------------------------------------------

inline const char* outcomeName(FileOutcome outcome) {
    switch (outcome) {
        case FileOutcome::unreadable: return "unreadable";
        case FileOutcome::unsupported: return "unsupported";
        case FileOutcome::unchanged: return "unchanged";
        case FileOutcome::changed: return "changed";
        case FileOutcome::failed: return "failed";
    }
    return "?";
}

// The lines of a text joined by CR LF.
inline std::vector<Text> linesOf(TextView text) {
    std::vector<Text> lines;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(u"\r\n", start);
        lines.emplace_back(text.substr(start, end == TextView::npos ? TextView::npos : end - start));
        if (end == TextView::npos) return lines;
        start = end + 2;
    }
}

inline Text lineEndText(LineEnds::Kind kind) {
    switch (kind) {
        case LineEnds::crLf: return u"\r\n";
        case LineEnds::lf: return u"\n";
        case LineEnds::cr: return u"\r";
        case LineEnds::zero: break;
    }
    return Text(1, u'\0');
}

}  // namespace fuzz
