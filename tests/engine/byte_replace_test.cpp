// A large file replaced on its bytes is read a window at a time: it ends byte for byte as
// the same file replaced through its text, whatever falls on a window's edge.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>

#include "engine/byte_replace.h"
#include "engine/file_rewrite.h"
#include "tests/engine/rewrite_both_ways.h"

namespace {

using testing_support::plain;
using testing_support::RewriteResult;

constexpr size_t mebibyte = size_t{1} << 20;

// About 17 MiB of lines with every kind of line end, and at each of the first 17 window
// edges (of the file's bytes after a mark of markBytes) a place or a CR LF cut in two or
// just before it, and a CR LF and a lone CR a little after.
std::string largeContent(size_t markBytes) {
    std::string content;
    const char* const lines[] = {"plain line\r\n", "old and older\n", "no match\r", "\xC3\xA9t\xC3\xA9 old\r\n"};
    for (size_t i = 0; content.size() < 17 * mebibyte + 4 * 4096; ++i) content += lines[i % 4];
    for (size_t edge = 1; edge <= 17; ++edge) {
        const size_t at = edge * mebibyte - markBytes;
        const size_t shift = edge / 2 % 3;
        if (edge % 2 == 0) content.replace(at - 1 - shift, 3, "old");  // cut after byte 1, 2 or 3
        else content.replace(at - 3 + shift, 2, "\r\n");  // the CR 3, 2 or 1 bytes before the edge
        content.replace(at + 200, 2, "\r\n");
        content.replace(at + 2 * 4096 - 1, 2, "\rx");
        content.replace(at + 3 * 4096 - 2, 4, "\r\n\r\n");
    }
    return content;
}

using ByteReplaceTest = testing_support::RewriteBothWaysTest;

TEST_F(ByteReplaceTest, LargeFileEndsAsThroughItsTextAcrossEveryWindowEdge) {
    const PreparedRow rows[] = {plain(u"old", u"new"), plain(u"old", u""), plain(u"o", u"line\r\nbreak\r")};
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        const std::string content = mark + largeContent(mark.size());
        for (const bool keepLineEnds : {false, true}) {
            for (const PreparedRow& row : rows) {
                SCOPED_TRACE(testing::Message() << "mark " << mark.size() << ", line ends kept " << keepLineEnds
                                                << ", replacement of " << row.replacement.size());
                RewriteOptions options;
                options.keepLineEnds = keepLineEnds;
                const RewriteResult text = rewrite(content, row, options, SIZE_MAX);
                const RewriteResult bytes = rewrite(content, row, options, 0);
                ASSERT_EQ(text.outcome, FileOutcome::changed);
                EXPECT_EQ(bytes.outcome, text.outcome);
                EXPECT_EQ(bytes.replacements, text.replacements);
                EXPECT_TRUE(bytes.bytes == text.bytes) << "the new files differ in size " << bytes.bytes.size()
                                                       << " against " << text.bytes.size();
                options.dryRun = true;
                const RewriteResult dry = rewrite(content, row, options, 0);
                EXPECT_EQ(dry.replacements, text.replacements);
                EXPECT_TRUE(dry.bytes == content);
            }
        }
    }
}

// Whatever only the end of a large file holds decides it: a place there changes it, a zero
// byte there leaves it as it was, and without a place it is not written.
TEST_F(ByteReplaceTest, LargeFileIsDecidedByItsWholeContent) {
    const std::string lines(17 * mebibyte, 'x');
    RewriteOptions options;
    EXPECT_EQ(rewrite(lines + "\nold", plain(u"old", u"new"), options, 0).bytes,
              lines + "\r\nnew\r\n");
    // Only a line end left of it: the text is empty, and so is the file.
    EXPECT_EQ(rewrite(std::string(17 * mebibyte, 'o') + "\r\n", plain(u"o", u""), options, 0).bytes, "");

    // The zero byte is met by the write (the first look ends at the first place), or, in a
    // dry run, by the first look.
    FileRewriter rewriter;
    write("zero.txt", "old" + lines + std::string(1, '\0'));
    EXPECT_EQ(rewriter.rewrite(at("zero.txt"), plain(u"old", u"new"), nullptr), FileOutcome::failed);
    EXPECT_EQ(rewriter.lastFailure().cause, FailureCause::notWholeText);
    EXPECT_EQ(read("zero.txt").size(), lines.size() + 4);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), std::filesystem::directory_iterator()), 2)
        << "the unfinished new file was left";
    RewriteOptions dry;
    dry.dryRun = true;
    FileRewriter dryRewriter(dry);
    EXPECT_EQ(dryRewriter.rewrite(at("zero.txt"), plain(u"old", u"new"), nullptr), FileOutcome::failed);
    EXPECT_EQ(dryRewriter.lastFailure().cause, FailureCause::notWholeText);

    write("none.txt", lines);
    EXPECT_EQ(rewriter.rewrite(at("none.txt"), plain(u"old", u"new"), nullptr), FileOutcome::unchanged);
}

// The byte search finds the first occurrence whatever its length and wherever it lies
// against the blocks of sixteen or thirty-two bytes it tests at once, near-misses included.
TEST(ByteSearchTest, FindsTheFirstOccurrenceAsAPlainSearchDoes) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        std::string haystack(random() % 200, 'a');
        for (char& byte : haystack) byte = "abab\r\n\xC3"[random() % 7];
        const size_t length = 1 + random() % 40;
        std::string needle(length, 'a');
        for (char& byte : needle) byte = "ab\xC3"[random() % 3];
        // Often an occurrence planted somewhere.
        if (random() % 2 == 0 && haystack.size() >= length) haystack.replace(random() % (haystack.size() - length + 1), length, needle);
        const size_t from = haystack.empty() ? 0 : random() % haystack.size();
        const char* const begin = haystack.data();
        const char* const end = begin + haystack.size();
        const size_t expected = std::string_view(haystack).find(needle, from);
        const char* const found = findBytes(begin + from, end, needle);
        ASSERT_EQ(found == end ? std::string_view::npos : static_cast<size_t>(found - begin), expected)
            << "round " << round;
    }
}

// A file in a single-byte code page is replaced on its bytes too, with the same bytes,
// outcome and count as through its text: bytes the set lacks, characters the replacement
// has and the set lacks, line breaks in the replacement, every kind of line end.
TEST_F(ByteReplaceTest, SingleByteCodePageFileEndsAsThroughItsText) {
    struct Case {
        const char* charset;
        std::string content;
        Text search;
        Text replacement;
    };
    const Case cases[] = {
        {"CP1251", "\xEF\xF0\xE8\xE2\xE5\xF2 \x98 world\r\n\xEF\xF0\xE8\xE2\xE5\xF2\rlast \xEF\xF0\xE8\xE2\xE5\xF2\n",
         u"\u043F\u0440\u0438\u0432\u0435\u0442", u"\u0437\u0434\u0440\u0430\u0432\u0441\u0442\u0432\u0443\u0439 \u20AC\u4E2D\r\n"},
        {"ISO-8859-7", "\xE1\xE2\xAE\xFF\xE1\xE2\n\n\xE1\xE2", u"\u03B1\u03B2", u"x\ny"},
    };
    for (const Case& c : cases) {
        for (const bool keepLineEnds : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.charset << ", line ends kept " << keepLineEnds);
            RewriteOptions options;
            options.ansiCharset = c.charset;
            options.keepLineEnds = keepLineEnds;
            const RewriteResult text = rewrite(c.content, plain(c.search, c.replacement), options, SIZE_MAX);
            bool onBytes = false;
            EXPECT_EQ(rewrite(c.content, plain(c.search, c.replacement), options, 0, &onBytes), text);
            EXPECT_TRUE(onBytes) << "replaced through its text";
            EXPECT_EQ(text.outcome, FileOutcome::changed);
        }
    }
}

}  // namespace
