// The safe rewrite of one file: the same outcome and bytes with and without the prefilter
// that lets a file go unread when its bytes cannot hold the search text, and replaced on
// the file's bytes as through its text.
//
// Input: a flags byte, a character-set byte, the search text and the replacement (each a
// field), then the file's bytes. Flags: 1 ignores letter case, 2 reads search text and
// replacement as raw UTF-16 units, 4 makes the file read-only, 8 searches the last line's
// end with the regular expressions of "g" and "h".
//
// Three copies of the file are rewritten, each by a rewriter of its own:
// - "a" with the plain row, which the prefilter may answer from the bytes alone;
// - "b" with the same search as a regular expression that matches only that text, which
//   the prefilter never answers (with letter case only: ignoring it, the two differ);
// - "c" as "a", but with line ends kept;
// - "e" as "a" and "f" as "c", but replaced on the file's bytes where the rewriter can
//   (byteLevelFrom 0), which "a" and "c" never are (byteLevelFrom beyond any size);
// - "g" and "h" with the literal pattern of "b", and with the search text itself read as a
//   pattern, with line ends kept and not: "g" through the text, "h" on the bytes.
// Properties:
// - "a" ends as the reference says: the file read by openWholeFile, replaceInText on its
//   text, the new text written as lines with CR LF after each in the file's encoding, after
//   its mark; "unchanged" when nothing changes, "failed" when the reader flagged the file
//   or it is read-only, and then its bytes stay;
// - "b" ends with the outcome and bytes of "a";
// - "c" ends with the outcome of "a", and its bytes are those of "a" with line ends as they
//   were where the file and the new text have the same lines;
// - "a" and "c" count the reference's places and "a" has the reference's new text;
// - "e" ends with the outcome, bytes and count of "a", and "f" with those of "c";
// - "h" ends with the outcome, bytes and count of "g";
// - a dry run ("d") ends as "a" did (but "changed" for a read-only file, which only the
//   write refuses), with the same count and new text, and leaves the file as it was;
// - no other file is left in the folder, and a rewritten file keeps its permission bits.

#include <fcntl.h>
#include <sys/mman.h>

#include <cstdint>

#include "engine/file_rewrite.h"
#include "engine/regex.h"
#include "engine/replace.h"
#include "engine/utf8_regex.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

// The bytes the program's writer gives for a text (mark first when asked) in a format and
// character set: written to a memory file and read back.
std::string encoded(TextView text, TextFormat format, const std::string& charset, bool mark, bool asLines) {
    const int fd = memfd_create("encoded", MFD_CLOEXEC);
    if (fd < 0) fail("memfd_create failed");
    std::unique_ptr<TextFile> writer = writeToDescriptor(fd, charset);
    if (mark) writeMark(*writer, format);
    if (asLines) {
        // Lines split at CR LF, lone CR and lone LF, each written with CR LF after it.
        if (!text.empty()) {
            size_t start = 0;
            for (;;) {
                size_t end = start;
                while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
                writeLine(*writer, text.substr(start, end - start), format);
                if (end == text.size()) break;
                start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
            }
        }
    } else {
        writeText(*writer, text, format);
    }
    if (!closeFile(*writer)) fail("writing to a memory file failed");
    std::string out;
    char buffer[65536];
    ssize_t got;
    ::lseek(fd, 0, SEEK_SET);
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    return out;
}

struct Read {
    TextFormat format;
    Text text;
    LineEnds ends;
    bool whole;
};

Read readWhole(const std::string& path, const std::string& charset) {
    FileBytes storage;
    struct stat status;
    std::unique_ptr<TextFile> reader = openWholeFile(path, storage, status, nullptr, charset);
    if (!reader) fail("the file just written cannot be read");
    Read r;
    r.format = detectFormat(*reader);
    readText(*reader, r.format, r.text, r.ends);
    r.whole = !sawZeroUnit(*reader) && !readFailed(*reader) && !sawIncompleteUnit(*reader) &&
              !sawIrreversibleBytes(*reader);
    return r;
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
    const bool ignoreCase = (flags & 1) != 0;
    const bool raw = (flags & 2) != 0;
    const bool readOnly = (flags & 4) != 0;
    const bool lastLineEndSearched = (flags & 8) != 0;
    PreparedRow row;
    row.options.matchCase = !ignoreCase;
    row.search = textOf(input.field(), raw);
    row.replacement = textOf(input.field(), raw);
    const std::string bytes = input.rest();
    const mode_t mode = readOnly ? 0444 : 0640;

    // The reference.
    const std::string a = scratchPath("a");
    writeFile(a, bytes, mode);
    const Read before = readWhole(a, charset);
    FileOutcome want;
    std::string wantBytes = bytes;
    Text newText = before.text;
    if (before.format != TextFormat::ansi && before.format != TextFormat::utf8 &&
        before.format != TextFormat::utf16le) {
        want = FileOutcome::unsupported;
    } else {
        switch (replaceInText(newText, row)) {
            case ReplaceResult::unchanged: want = FileOutcome::unchanged; break;
            case ReplaceResult::failed: want = FileOutcome::failed; break;
            case ReplaceResult::changed:
                want = before.whole && !readOnly ? FileOutcome::changed : FileOutcome::failed;
                break;
        }
        if (want == FileOutcome::changed)
            wantBytes = encoded(newText, before.format, charset, true, true);
    }

    // The places replaced, and the new text, as the simple replace-all gives them.
    const size_t places = referenceOccurrences(before.text, row.search, ignoreCase).size();
    if (want != FileOutcome::unsupported && want != FileOutcome::unchanged)
        FUZZ_EXPECT(newText == referenceReplace(before.text, row.search, row.replacement, ignoreCase),
                    "the file's text replaced: %s\n  the simple replace-all: %s", unitsOf(newText).c_str(),
                    unitsOf(referenceReplace(before.text, row.search, row.replacement, ignoreCase)).c_str());

    RewriteOptions options;
    options.ansiCharset = charset;
    options.byteLevelFrom = SIZE_MAX;  // through the text, which the properties compare
    FileOutcome gotA;
    size_t countA;
    {
        FileRewriter rewriter(options);
        gotA = rewriter.rewrite(a, row, nullptr);
        countA = rewriter.lastReplacements();
        if (gotA == FileOutcome::changed)
            FUZZ_EXPECT(rewriter.lastReplacements() == places && rewriter.lastNewText() == newText,
                        "the rewriter counts %zu places (the reference %zu), its new text is %s\n  expected %s",
                        rewriter.lastReplacements(), places, unitsOf(rewriter.lastNewText()).c_str(),
                        unitsOf(newText).c_str());
    }
    const std::string bytesA = readFile(a);
    FUZZ_EXPECT(gotA == want && bytesA == wantBytes,
                "rewrite: %s, bytes %s\n  expected: %s, bytes %s\n  file %s, search %s, replacement %s, "
                "charset '%s', case %s",
                outcomeName(gotA), hexOf(bytesA).c_str(), outcomeName(want), hexOf(wantBytes).c_str(),
                hexOf(bytes).c_str(), unitsOf(row.search).c_str(), unitsOf(row.replacement).c_str(),
                charset.c_str(), ignoreCase ? "ignored" : "kept");
    struct stat status;
    FUZZ_EXPECT(::stat(a.c_str(), &status) == 0 && (status.st_mode & 07777) == mode,
                "the rewritten file's permission bits are %o, not %o", status.st_mode & 07777, mode);

    // Without the prefilter: the search as a pattern that matches only itself.
    const Text pattern = literalPattern(row.search);
    if (!ignoreCase && !pattern.empty() && row.replacement.find(u"\\1") == Text::npos) {
        PreparedRow regexRow = row;
        regexRow.options.useRegex = true;
        regexRow.search = pattern;
        regexRow.pattern = compilePattern(pattern, compileFlags(regexRow.options)).pattern;
        if (regexRow.pattern == nullptr)
            fail("the literal pattern %s does not compile", unitsOf(pattern).c_str());
        const std::string b = scratchPath("b");
        writeFile(b, bytes, mode);
        FileOutcome gotB;
        {
            FileRewriter rewriter(options);
            gotB = rewriter.rewrite(b, regexRow, nullptr);
        }
        const std::string bytesB = readFile(b);
        if (gotB != FileOutcome::failed || want == FileOutcome::failed)
            FUZZ_EXPECT(gotB == gotA && bytesB == bytesA,
                        "without the prefilter: %s, bytes %s\n  with it: %s, bytes %s\n  file %s, search %s",
                        outcomeName(gotB), hexOf(bytesB).c_str(), outcomeName(gotA), hexOf(bytesA).c_str(),
                        hexOf(bytes).c_str(), unitsOf(row.search).c_str());
        ::unlink(b.c_str());
    }

    // Regular expressions on the file's bytes (byteLevelFrom 0) end as through its text: the
    // literal pattern of "b", and the search itself read as a pattern when it compiles.
    for (const bool literal : {true, false}) {
        PreparedRow regexRow = row;
        regexRow.options.useRegex = true;
        regexRow.search = literal ? pattern : row.search;
        if (regexRow.search.empty()) continue;
        const uint32_t compileWith = compileFlags(regexRow.options) | (lastLineEndSearched ? lastLineEnd : 0);
        regexRow.pattern = compilePattern(regexRow.search, compileWith).pattern;
        if (regexRow.pattern == nullptr) continue;
        regexRow.utf8Pattern = compileUtf8Pattern(regexRow.search, compileWith);
        for (const bool keepLineEnds : {false, true}) {
            RewriteOptions regexOptions = options;
            regexOptions.keepLineEnds = keepLineEnds;
            regexOptions.lastLineEndSearched = lastLineEndSearched;
            FileOutcome got[2];
            std::string gotBytes[2];
            size_t count[2];
            for (const int onBytes : {0, 1}) {
                const std::string g = scratchPath(onBytes ? "h" : "g");
                writeFile(g, bytes, mode);
                regexOptions.byteLevelFrom = onBytes ? 0 : SIZE_MAX;
                FileRewriter rewriter(regexOptions);
                got[onBytes] = rewriter.rewrite(g, regexRow, nullptr);
                count[onBytes] = rewriter.lastReplacements();
                gotBytes[onBytes] = readFile(g);
                ::unlink(g.c_str());
            }
            FUZZ_EXPECT(got[1] == got[0] && gotBytes[1] == gotBytes[0] && count[1] == count[0],
                        "a regular expression on the bytes (line ends %s%s): %s, %zu places, bytes %s\n"
                        "  through the text: %s, %zu places, bytes %s\n  file %s, pattern %s, replacement %s, "
                        "charset '%s'",
                        keepLineEnds ? "kept" : "as CR LF", lastLineEndSearched ? ", last one searched" : "",
                        outcomeName(got[1]), count[1], hexOf(gotBytes[1]).c_str(), outcomeName(got[0]), count[0],
                        hexOf(gotBytes[0]).c_str(), hexOf(bytes).c_str(), unitsOf(regexRow.search).c_str(),
                        unitsOf(row.replacement).c_str(), charset.c_str());
        }
    }

    // With line ends kept: the same outcome; where the lines of the new text are those of
    // the file (no line break was searched or inserted) each line keeps its own end.
    const std::string c = scratchPath("c");
    writeFile(c, bytes, mode);
    options.keepLineEnds = true;
    FileOutcome gotC;
    size_t countC;
    {
        FileRewriter rewriter(options);
        gotC = rewriter.rewrite(c, row, nullptr);
        countC = rewriter.lastReplacements();
        if (gotC == FileOutcome::changed)
            FUZZ_EXPECT(rewriter.lastReplacements() == places, "with line ends kept: %zu places, the reference %zu",
                        rewriter.lastReplacements(), places);
    }
    const std::string bytesC = readFile(c);
    FUZZ_EXPECT(gotC == gotA, "with line ends kept: %s, without: %s (file %s, search %s)", outcomeName(gotC),
                outcomeName(gotA), hexOf(bytes).c_str(), unitsOf(row.search).c_str());
    if (gotC != FileOutcome::changed) {
        FUZZ_EXPECT(bytesC == bytes, "a file left %s has other bytes now", outcomeName(gotC));
    } else if (row.search.find_first_of(u"\r\n") == Text::npos &&
               row.replacement.find_first_of(u"\r\n") == Text::npos) {
        const std::vector<Text> oldLines = linesOf(before.text);
        const std::vector<Text> newLines = linesOf(newText);
        FUZZ_EXPECT(oldLines.size() == newLines.size(), "the replacement changed the number of lines");
        Text kept;
        for (size_t i = 0; i < newLines.size(); ++i) {
            kept += newLines[i];
            if (i < before.ends.kinds.size()) kept += lineEndText(before.ends.kinds[i]);
        }
        const std::string wantC = encoded(kept, before.format, charset, true, false);
        FUZZ_EXPECT(bytesC == wantC, "with line ends kept: bytes %s\n  expected %s\n  file %s, search %s",
                    hexOf(bytesC).c_str(), hexOf(wantC).c_str(), hexOf(bytes).c_str(),
                    unitsOf(row.search).c_str());
    }

    // On the file's bytes, in both modes: what the text gives.
    for (const bool keepLineEnds : {false, true}) {
        const std::string e = scratchPath(keepLineEnds ? "f" : "e");
        writeFile(e, bytes, mode);
        RewriteOptions onBytes = options;
        onBytes.keepLineEnds = keepLineEnds;
        onBytes.byteLevelFrom = 0;
        FileOutcome gotE;
        size_t countE;
        {
            FileRewriter rewriter(onBytes);
            gotE = rewriter.rewrite(e, row, nullptr);
            countE = rewriter.lastReplacements();
        }
        const std::string bytesE = readFile(e);
        const FileOutcome wantE = keepLineEnds ? gotC : gotA;
        const std::string& wantBytesE = keepLineEnds ? bytesC : bytesA;
        const size_t wantCountE = keepLineEnds ? countC : countA;
        FUZZ_EXPECT(gotE == wantE && bytesE == wantBytesE && countE == wantCountE,
                    "on the bytes (line ends %s): %s, %zu places, bytes %s\n  through the text: %s, %zu places, "
                    "bytes %s\n  file %s, search %s, replacement %s, charset '%s', case %s",
                    keepLineEnds ? "kept" : "as CR LF", outcomeName(gotE), countE, hexOf(bytesE).c_str(),
                    outcomeName(wantE), wantCountE, hexOf(wantBytesE).c_str(), hexOf(bytes).c_str(),
                    unitsOf(row.search).c_str(), unitsOf(row.replacement).c_str(), charset.c_str(),
                    ignoreCase ? "ignored" : "kept");
        ::unlink(e.c_str());
    }

    // A dry run: what a real run would do, a read-only file refused too, but the file stays
    // as it is.
    const std::string d = scratchPath("d");
    writeFile(d, bytes, mode);
    options.keepLineEnds = false;
    options.dryRun = true;
    FileOutcome gotD;
    {
        FileRewriter rewriter(options);
        gotD = rewriter.rewrite(d, row, nullptr);
        if (gotD == FileOutcome::changed)
            FUZZ_EXPECT(rewriter.lastReplacements() == places && rewriter.lastNewText() == newText,
                        "dry run: %zu places (the reference %zu), new text %s\n  expected %s",
                        rewriter.lastReplacements(), places, unitsOf(rewriter.lastNewText()).c_str(),
                        unitsOf(newText).c_str());
    }
    const FileOutcome wantD = gotA;
    FUZZ_EXPECT(gotD == wantD && readFile(d) == bytes, "dry run: %s, file %s\n  expected %s, file %s",
                outcomeName(gotD), hexOf(readFile(d)).c_str(), outcomeName(wantD), hexOf(bytes).c_str());
    ::unlink(d.c_str());

    const std::vector<std::string> names = scratchNames();
    FUZZ_EXPECT(names.size() == 2, "%zu names in the folder after the rewrites, not 2 (a temporary file stayed?)",
                names.size());
    ::unlink(a.c_str());
    ::unlink(c.c_str());
    return 0;
}
