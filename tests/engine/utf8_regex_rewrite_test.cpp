// Regular expressions replaced on the bytes of UTF-8 files, on real files: every file and
// row is rewritten both on its bytes (byteLevelFrom 0) and through its UTF-16 text
// (byteLevelFrom beyond any size), and both must end alike: the same outcome, count and
// bytes, with line ends kept and as CR LF, as the window searches and as rif does.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/file_rewrite.h"
#include "engine/line_pattern.h"
#include "engine/regex.h"
#include "engine/utf8_regex.h"
#include "tests/engine/rewrite_both_ways.h"

namespace {

using testing_support::RewriteResult;

// How a run is set up: as the window does (compileFlags) or as rif does (linePattern,
// lineCompileFlags, the last line end searched).
enum class Caller { window, rif };

PreparedRow regexRow(const Text& search, const Text& replacement, Caller caller, bool matchCase = true,
                     bool emptyLines = false) {
    PreparedRow row;
    row.options = {true, matchCase, emptyLines};
    row.search = caller == Caller::rif ? linePattern(search) : search;
    if (emptyLines) row.search += u"\r\n";
    row.replacement = replacement;
    const uint32_t flags = caller == Caller::rif ? lineCompileFlags(row.options) : compileFlags(row.options);
    row.pattern = compilePattern(row.search, flags).pattern;
    row.utf8Pattern = compileUtf8Pattern(row.search, flags);
    return row;
}

class Utf8RegexRewriteTest : public testing_support::RewriteBothWaysTest {
protected:
    // Every way of running the row over the file ends alike on the bytes and through the
    // text; when onBytesExpected, a change is made on the bytes (no new text).
    void expectAlike(const std::string& bytes, const PreparedRow& row, Caller caller, bool onBytesExpected) {
        for (const bool keepLineEnds : {false, true}) {
            for (const bool dryRun : {false, true}) {
                RewriteOptions options;
                options.keepLineEnds = keepLineEnds;
                options.dryRun = dryRun;
                options.lastLineEndSearched = caller == Caller::rif;
                const RewriteResult text = rewrite(bytes, row, options, SIZE_MAX);
                bool onBytes = false;
                const RewriteResult utf8 = rewrite(bytes, row, options, 0, &onBytes);
                const std::string what = "file " + testing::PrintToString(bytes) + ", pattern " +
                                         testing::PrintToString(textToUtf8(row.search)) + ", line ends " +
                                         (keepLineEnds ? "kept" : "as CR LF") + (dryRun ? ", dry run" : "");
                EXPECT_EQ(utf8, text) << what;
                if (text.outcome == FileOutcome::changed) {
                    EXPECT_EQ(onBytes, onBytesExpected) << what;
                }
            }
        }
    }
};

const std::string mark = "\xEF\xBB\xBF";

// Files with every kind of line end and characters of every length, each with patterns that
// see line ends, line starts, empty matches, groups, classes, lookbehind and letter case.
TEST_F(Utf8RegexRewriteTest, BytesAndTextGiveTheSameFiles) {
    const std::vector<std::string> files = {
        "",
        "old",
        "oldx\n",
        "a\nb\nc",
        "a\r\nb\r\nc\r\n",
        "a\rb\rc\r",
        "a\r\nb\nc\rd\n\ne\r\r\nf",
        "\n\r\n\r",
        "\r\n",
        "\n",
        mark + "oldab\ncd\r\n",
        mark,
        "caf\xC3\xA9 old\xC3\xA9t\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x98\x80 \xD0\x96\xD0\xB6\n\xC3\xA9\r\n",
        "x old1 old22\r\nold333\rold\n",
        "\xEF\xBF\xBD and \xEF\xBF\xBF\n",
    };
    struct Row {
        Text search;
        Text replacement;
        bool matchCase;
        bool emptyLines;
    };
    const std::vector<Row> rows = {
        {u"old(\\w+)", u"new\\1", true, false},
        {u"^", u">", true, false},
        {u"$", u"<", true, false},
        {u"^$", u"EMPTY", true, false},
        {u"x*", u"-", true, false},
        {u"(?=[\u00E9\u20AC\U0001F600])|.", u"_", true, false},
        {u"\\r\\n", u"|", true, false},
        {u"\\n", u"\\n\\n", true, false},
        {u"\\s+", u"_", true, false},
        {u".", u"[\\1]", true, false},
        {u"(.)", u"\\1\\1", true, false},
        {u"(?<=\u00E9)(.)", u"<\\1>", true, false},
        {u"(\\w+)$", u"\\1\r\nend", true, false},
        {u"\u00C9|OLD|\u0416", u"\\1!", false, false},
        {u"[^a-z]", u"?", true, false},
        {u"(?s).+", u"all", true, false},
        {u"\\R", u"\r", true, false},
        {u"(\\w)(?=\\r?$)", u"\\1\\1", true, false},
        {u"c", u"c", true, false},
        {u"^\\s*", u"", true, true},
    };
    for (const Caller caller : {Caller::window, Caller::rif}) {
        for (const Row& r : rows) {
            const PreparedRow row = regexRow(r.search, r.replacement, caller, r.matchCase, r.emptyLines);
            ASSERT_NE(row.pattern, nullptr) << textToUtf8(r.search);
            ASSERT_NE(row.utf8Pattern, nullptr) << textToUtf8(r.search);
            for (const std::string& file : files) expectAlike(file, row, caller, true);
        }
    }
}

// A file with a byte that is not UTF-8, or a zero byte, goes through its text: '.' and '\W'
// match the invalid byte as one character there, a typed U+FFFD only a real one; a file
// with a zero byte is not written. So does a row whose search has "\C" or whose replacement
// has a lone surrogate.
TEST_F(Utf8RegexRewriteTest, FilesAndRowsTheBytesCannotStandForGoThroughTheirText) {
    const std::vector<std::string> files = {
        "old\xFF x\n\xC3(",
        "a\xED\xA0\x80z\n",
        "\xC0\xAF\xF4\x90\x80\x80 \xEF\xBF\xBD\n",
        std::string("old1\0old2\n", 10),
    };
    for (const Caller caller : {Caller::window, Caller::rif}) {
        for (const char16_t* search : {u".", u"\\W", u"\uFFFD", u"old(\\w)"}) {
            const PreparedRow row = regexRow(search, u"<\\1>", caller);
            for (const std::string& file : files) expectAlike(file, row, caller, false);
        }
    }
    // The first of them, as the text path changes it.
    RewriteOptions options;
    const RewriteResult dot = rewrite("a\xFF\n", regexRow(u"[^a]", u"<>", Caller::window), options, 0);
    EXPECT_EQ(dot, (RewriteResult{FileOutcome::changed, "a<>\r\n", 1}));
    const RewriteResult zero = rewrite(std::string("a\0b", 3), regexRow(u"b", u"c", Caller::window), options, 0);
    EXPECT_EQ(zero.outcome, FileOutcome::failed);
    EXPECT_EQ(zero.bytes, std::string("a\0b", 3));

    // "\C" has no 8-bit twin; the row's text pattern serves alone.
    EXPECT_EQ(compileUtf8Pattern(u"a\\Cb", compileFlags(RowOptions{true, true, false})), nullptr);
    PreparedRow anyUnit = regexRow(u"\u00E9\\C", u"x", Caller::window);
    expectAlike("\xC3\xA9\xF0\x9F\x98\x80!\n", anyUnit, Caller::window, false);
    const PreparedRow lone = regexRow(u"old", u"\xDC80", Caller::window);
    expectAlike("old\n", lone, Caller::window, false);
}

// A match limit reached on the bytes fails the file as it does through the text, and leaves
// it as it was.
TEST_F(Utf8RegexRewriteTest, MatchErrorLeavesTheFileAlone) {
    const PreparedRow row = regexRow(u"(a+)+$", u"x", Caller::window);
    const std::string bytes = std::string(40, 'a') + "b\n";
    RewriteOptions options;
    const RewriteResult onBytes = rewrite(bytes, row, options, 0);
    EXPECT_EQ(onBytes, (RewriteResult{FileOutcome::failed, bytes, 0}));
    EXPECT_EQ(rewrite(bytes, row, options, SIZE_MAX), onBytes);
}

// A file large enough for its bytes to be moved in place (every line end a lone LF, one
// place per line) ends as through its text.
TEST_F(Utf8RegexRewriteTest, LargeFileOfLfLinesEndsAsThroughItsText) {
    std::string bytes;
    const std::string line = "some text before oldsite and after it \xC3\xA4 and more text to the end\n";
    while (bytes.size() < 2 * 1024 * 1024) bytes += line;
    bytes += "oldlast";
    const PreparedRow row = regexRow(u"old(\\w+)", u"new\\1", Caller::rif);
    for (const bool keepLineEnds : {false, true}) {
        RewriteOptions options;
        options.keepLineEnds = keepLineEnds;
        options.lastLineEndSearched = true;
        bool onBytes = false;
        const RewriteResult utf8 = rewrite(bytes, row, options, 0, &onBytes);
        EXPECT_TRUE(onBytes);
        EXPECT_EQ(utf8.replacements, bytes.size() / line.size() + 1);
        const RewriteResult text = rewrite(bytes, row, options, SIZE_MAX);
        EXPECT_TRUE(utf8 == text) << (keepLineEnds ? "line ends kept" : "line ends as CR LF");
    }
}

}  // namespace
