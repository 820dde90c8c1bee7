// Text files: what the reader makes of a file's bytes, and the bytes written back.
//
// Input: a flags byte, a character-set byte (the "ansi" set of files without a mark: UTF-8
// or one of several code pages), the search text and the replacement (each a field), then
// the file's bytes. Flags: 1, 8 and 16 together repeat the bytes past 64 KiB (so that lines
// cross the reader's buffer), 2 ignores letter case in the replacement, 4 reads search
// text and replacement as raw UTF-16 units; the top two bits give the length less one of
// the piece of the text taken as search text when none is given.
//
// Properties:
// - the whole-file reader (openWholeFile) and the buffered one (openForReading), by
//   readText and line by line, give the same format, text, line ends and flags;
// - the format is the one the mark announces; the lines and line ends are those found by
//   splitting the bytes at CR LF, CR, LF and zero (units for UTF-16); a UTF-16LE text is
//   its units; the zero and cut-off-unit flags tell the truth; UTF-8 is never irreversible;
// - a file the reader does not flag gives its own bytes back when its lines are written
//   with their line ends; one flagged irreversible only does not;
// - FileRewriter with line ends kept, replacing a text without line breaks, changes only
//   the lines where it occurs: every other line keeps its bytes, the changed ones are the
//   reference replace-all of their text, and a flagged file is left as it is.

#include <fcntl.h>
#include <sys/mman.h>

#include <cstdint>
#include <map>

#include "engine/file_rewrite.h"
#include "engine/text_file.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

struct Reading {
    TextFormat format = TextFormat::ansi;
    Text text;
    LineEnds ends;
    bool zero = false, failed = false, incomplete = false, irreversible = false;
    bool flagged() const { return zero || failed || incomplete || irreversible; }
};

void takeFlags(const TextFile& file, Reading& r) {
    r.zero = sawZeroUnit(file);
    r.failed = readFailed(file);
    r.incomplete = sawIncompleteUnit(file);
    r.irreversible = sawIrreversibleBytes(file);
}

std::string describe(const Reading& r) {
    std::string kinds;
    for (auto k : r.ends.kinds) kinds += "CLRZ"[k];
    char flags[128];
    std::snprintf(flags, sizeof flags, "format %d, ends %s last %d, flags z%d f%d i%d r%d", static_cast<int>(r.format),
                  kinds.c_str(), r.ends.last, r.zero, r.failed, r.incomplete, r.irreversible);
    return flags + std::string(", text ") + unitsOf(r.text);
}

bool sameReading(const Reading& a, const Reading& b) {
    return a.format == b.format && a.text == b.text && a.ends.kinds == b.ends.kinds && a.ends.last == b.ends.last &&
           a.zero == b.zero && a.failed == b.failed && a.incomplete == b.incomplete &&
           a.irreversible == b.irreversible;
}

// A line as the bytes give it: where it starts and ends, and what ends it.
struct ByteLine {
    size_t start, end;
    bool hasEnd;
    LineEnds::Kind kind;
};

// Splits the bytes after the mark into lines at CR LF, CR, LF and zero, in units of one or
// two bytes (little-endian); a last unit cut short is left out.
std::vector<ByteLine> splitLines(std::string_view bytes, size_t from, size_t unit) {
    auto at = [&](size_t i) -> unsigned {
        if (unit == 1) return static_cast<unsigned char>(bytes[i]);
        return static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    const size_t stop = from + (bytes.size() - from) / unit * unit;
    std::vector<ByteLine> lines;
    size_t start = from;
    size_t i = from;
    while (i < stop) {
        const unsigned u = at(i);
        if (u == '\r' || u == '\n' || u == 0) {
            ByteLine line{start, i, true, u == 0 ? LineEnds::zero : u == '\n' ? LineEnds::lf : LineEnds::cr};
            i += unit;
            if (u == '\r' && i < stop && at(i) == '\n') {
                line.kind = LineEnds::crLf;
                i += unit;
            }
            lines.push_back(line);
            start = i;
        } else {
            i += unit;
        }
    }
    if (start < stop) lines.push_back({start, stop, false, LineEnds::lf});
    return lines;
}

std::string lineEndBytes(LineEnds::Kind kind, size_t unit) {
    std::string out;
    switch (kind) {
        case LineEnds::crLf: out = "\r\n"; break;
        case LineEnds::lf: out = "\n"; break;
        case LineEnds::cr: out = "\r"; break;
        case LineEnds::zero: out = std::string(1, '\0'); break;
    }
    if (unit == 2) {
        std::string wide;
        for (char c : out) {
            wide.push_back(c);
            wide.push_back('\0');
        }
        return wide;
    }
    return out;
}

// The bytes of texts through the program's writer, on a memory file.
std::string writeBack(const std::vector<Text>& parts, TextFormat format, const std::string& charset, bool mark) {
    const int fd = memfd_create("written", MFD_CLOEXEC);
    if (fd < 0) fail("memfd_create failed");
    std::unique_ptr<TextFile> writer = writeToDescriptor(fd, charset);
    if (mark) writeMark(*writer, format);
    for (const Text& part : parts) writeText(*writer, part, format);
    if (!closeFile(*writer)) fail("writing to a memory file failed");
    std::string out;
    char buffer[65536];
    ssize_t got;
    ::lseek(fd, 0, SEEK_SET);
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useUtf8Locale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    const uint8_t flags = input.byte();
    const std::string charset = ansiCharsets()[input.byte() % ansiCharsets().size()];
    const bool ignoreCase = (flags & 2) != 0;
    const bool raw = (flags & 4) != 0;
    Text search = textOf(input.field(), raw);
    Text replacement = textOf(input.field(), raw);
    std::string bytes = input.rest();
    if ((flags & 0x19) == 0x19 && !bytes.empty()) {
        const std::string once = bytes;
        while (bytes.size() <= 66000) bytes += once;
    }
    const std::string path = scratchPath("a");
    writeFile(path, bytes);

    // The whole-file reader.
    Reading whole;
    {
        FileBytes storage;
        struct stat status;
        std::unique_ptr<TextFile> file = openWholeFile(path, storage, status, nullptr, charset);
        FUZZ_EXPECT(file != nullptr, "openWholeFile cannot open the file");
        whole.format = detectFormat(*file);
        readText(*file, whole.format, whole.text, whole.ends);
        takeFlags(*file, whole);
    }
    // The buffered reader, by readText and line by line.
    Reading buffered;
    Reading byLine;
    {
        std::unique_ptr<TextFile> file = openForReading(path, charset);
        FUZZ_EXPECT(file != nullptr, "openForReading cannot open the file");
        buffered.format = detectFormat(*file);
        readText(*file, buffered.format, buffered.text, buffered.ends);
        takeFlags(*file, buffered);

        file.reset();  // its lock would keep the next reader out
        file = openForReading(path, charset);
        FUZZ_EXPECT(file != nullptr, "openForReading cannot open the file again");
        byLine.format = detectFormat(*file);
        Text line;
        bool first = true;
        while (!atEnd(*file) && readLine(*file, byLine.format, line)) {
            if (!first) byLine.text += u"\r\n";
            byLine.text += line;
            first = false;
        }
        FUZZ_EXPECT(!readLine(*file, byLine.format, line), "readLine gives a line after atEnd");
        takeFlags(*file, byLine);
        byLine.ends = whole.ends;  // readLine does not note line ends
    }
    FUZZ_EXPECT(sameReading(whole, buffered), "openWholeFile: %s\n  openForReading: %s\n  bytes %s",
                describe(whole).c_str(), describe(buffered).c_str(), hexOf(bytes).c_str());
    FUZZ_EXPECT(sameReading(whole, byLine), "readText: %s\n  readLine: %s\n  bytes %s", describe(whole).c_str(),
                describe(byLine).c_str(), hexOf(bytes).c_str());

    // The reading against the bytes themselves.
    const std::string_view b = bytes;
    TextFormat format = TextFormat::ansi;
    size_t mark = 0;
    if (b.starts_with("\xFF\xFE")) format = TextFormat::utf16le, mark = 2;
    else if (b.starts_with("\xEF\xBB\xBF")) format = TextFormat::utf8, mark = 3;
    else if (b.starts_with("\xFE\xFF")) format = TextFormat::utf16be, mark = 2;
    else if (b.size() >= 4 && b.substr(0, 4) == std::string_view("\0\0\xFE\xFF", 4)) format = TextFormat::utf32be, mark = 4;
    FUZZ_EXPECT(whole.format == format, "format %d for a file that the mark says is %d (bytes %s)",
                static_cast<int>(whole.format), static_cast<int>(format), hexOf(bytes).c_str());
    if (format != TextFormat::ansi && format != TextFormat::utf8 && format != TextFormat::utf16le) return 0;
    FUZZ_EXPECT(!whole.failed, "a read error reported for a file that reads fine");
    const size_t unit = format == TextFormat::utf16le ? 2 : 1;
    const std::vector<ByteLine> lines = splitLines(b, mark, unit);
    std::vector<LineEnds::Kind> kinds;
    bool zero = false;
    for (const ByteLine& line : lines) {
        if (!line.hasEnd) continue;
        kinds.push_back(line.kind);
        zero = zero || line.kind == LineEnds::zero;
    }
    const bool last = !lines.empty() && lines.back().hasEnd;
    FUZZ_EXPECT(whole.ends.kinds == kinds && whole.ends.last == last,
                "%zu line ends (last %d) read, %zu (last %d) in the bytes %s", whole.ends.kinds.size(),
                whole.ends.last, kinds.size(), last, hexOf(bytes).c_str());
    FUZZ_EXPECT(whole.zero == zero, "zero flag %d for bytes %s", whole.zero, hexOf(bytes).c_str());
    FUZZ_EXPECT(whole.incomplete == (unit == 2 && (b.size() - mark) % 2 == 1), "cut-off flag %d for %zu bytes",
                whole.incomplete, b.size());
    const bool asUtf8 = format == TextFormat::utf8 || isUtf8Codeset(charset.c_str());
    if (asUtf8) FUZZ_EXPECT(!whole.irreversible, "UTF-8 flagged irreversible (bytes %s)", hexOf(bytes).c_str());
    if (unit == 2 || asUtf8) {
        Text text;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i > 0) text += u"\r\n";
            const std::string_view line = b.substr(lines[i].start, lines[i].end - lines[i].start);
            text += unit == 2 ? textOf(line, true) : textFromUtf8(line);
        }
        FUZZ_EXPECT(whole.text == text, "text %s read, the bytes give %s", unitsOf(whole.text).c_str(),
                    unitsOf(text).c_str());
    }

    // Written back.
    const std::vector<Text> textLines = linesOf(whole.text);
    FUZZ_EXPECT(textLines.size() == std::max<size_t>(lines.size(), 1),
                "%zu lines in the text, %zu in the bytes %s", textLines.size(), lines.size(), hexOf(bytes).c_str());
    std::vector<Text> parts;
    for (size_t i = 0; i < lines.size(); ++i) {
        parts.push_back(textLines[i]);
        if (lines[i].hasEnd) parts.push_back(lineEndText(lines[i].kind));
    }
    const std::string written = writeBack(parts, format, charset, true);
    if (!whole.flagged())
        FUZZ_EXPECT(written == bytes, "read and written back: %s\n  from %s (charset '%s')", hexOf(written).c_str(),
                    hexOf(bytes).c_str(), charset.c_str());
    if (whole.irreversible && !whole.zero && !whole.incomplete)
        FUZZ_EXPECT(written != bytes, "flagged irreversible, but written back unchanged: %s (charset '%s')",
                    hexOf(bytes).c_str(), charset.c_str());

    // A replacement with line ends kept.
    if (search.empty() && !whole.text.empty()) {
        // A piece of the text itself, so that it occurs.
        const size_t at = replacement.size() % whole.text.size();
        search = whole.text.substr(at, 1 + flags / 64);
    }
    std::erase_if(search, [](char16_t u) { return u == u'\r' || u == u'\n' || u == 0; });
    if (search.empty()) return 0;
    PreparedRow row;
    row.options.matchCase = !ignoreCase;
    row.search = search;
    row.replacement = replacement;
    // The replacement's line breaks become the file's first line end.
    const Text firstEnd = kinds.empty() || kinds.front() == LineEnds::zero ? Text(u"\n") : lineEndText(kinds.front());
    Text inserted;
    for (size_t i = 0; i < replacement.size(); ++i) {
        if (replacement[i] == u'\r' || replacement[i] == u'\n') {
            inserted += firstEnd;
            if (replacement[i] == u'\r' && i + 1 < replacement.size() && replacement[i + 1] == u'\n') ++i;
        } else {
            inserted += replacement[i];
        }
    }
    std::string expected;
    bool changed = false;
    {
        std::map<Text, std::string> encodedLines;
        expected = b.substr(0, mark);
        for (size_t i = 0; i < lines.size(); ++i) {
            const Text line = referenceReplace(textLines[i], search, inserted, ignoreCase);
            if (line == textLines[i]) {
                expected += b.substr(lines[i].start, lines[i].end - lines[i].start);
            } else {
                changed = true;
                // A repeated file has the same lines many times: each is encoded once.
                auto [known, fresh] = encodedLines.try_emplace(line);
                if (fresh) known->second = writeBack({line}, format, charset, false);
                expected += known->second;
            }
            if (lines[i].hasEnd) expected += lineEndBytes(lines[i].kind, unit);
        }
    }
    RewriteOptions options;
    options.ansiCharset = charset;
    options.keepLineEnds = true;
    FileOutcome got;
    {
        FileRewriter rewriter(options);
        got = rewriter.rewrite(path, row, nullptr);
    }
    const FileOutcome want = !changed ? FileOutcome::unchanged
                             : whole.flagged() ? FileOutcome::failed
                                               : FileOutcome::changed;
    const std::string after = readFile(path);
    FUZZ_EXPECT(got == want && after == (want == FileOutcome::changed ? expected : bytes),
                "kept line ends: %s, bytes %s\n  expected %s, bytes %s\n  file %s, search %s, replacement %s, "
                "charset '%s'",
                outcomeName(got), hexOf(after).c_str(), outcomeName(want),
                hexOf(want == FileOutcome::changed ? expected : bytes).c_str(), hexOf(bytes).c_str(),
                unitsOf(search).c_str(), unitsOf(replacement).c_str(), charset.c_str());
    return 0;
}
