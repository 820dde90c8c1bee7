// The change view's lines: each changed stretch before and after, the replaced text marked
// on both sides, line numbers that follow lines gained, the line ends and code page the run
// would write, and the limit on the places shown.

#include "engine/change_view.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/regex.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

using Marks = std::vector<std::pair<size_t, size_t>>;

class ChangeViewTest : public testing_support::TemporaryFolderTest {
protected:
    void SetUp() override {
        useUtf8Locale();
        TemporaryFolderTest::SetUp();
    }
    // Writes page.htm and gives its path.
    std::string write(const std::string& bytes) {
        const std::string path = at("page.htm");
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static PreparedRow plain(const Text& search, const Text& replacement) {
        PreparedRow row;
        row.search = search;
        row.replacement = replacement;
        return row;
    }
};

TEST_F(ChangeViewTest, RegexChangeWithGroupShowsEachChangedLineMarkedOnBothSides) {
    const std::string path = write("top\r\nmail joe@old.org now\nplain\nann@old.org\r\n");
    PreparedRow row;
    row.options.useRegex = true;
    row.search = u"(\\w+)@old";
    row.replacement = u"<\\1>@new";
    row.pattern = compilePattern(row.search, compileFlags(row.options)).pattern;
    ASSERT_NE(row.pattern, nullptr);
    RewriteOptions keep;
    keep.keepLineEnds = true;
    const FileChanges changes = describeChanges(path, row, keep);
    ASSERT_EQ(changes.outcome, FileOutcome::changed);
    EXPECT_EQ(changes.replacements, 2u);
    ASSERT_EQ(changes.stretches.size(), 2u);

    const ChangedStretch& first = changes.stretches[0];
    EXPECT_EQ(first.firstLine, 2u);
    EXPECT_EQ(first.newFirstLine, 2u);
    ASSERT_EQ(first.before.size(), 1u);
    EXPECT_EQ(first.before[0].text, u"mail joe@old.org now");
    EXPECT_EQ(first.before[0].marks, (Marks{{5, 7}}));
    ASSERT_EQ(first.after.size(), 1u);
    EXPECT_EQ(first.after[0].text, u"mail <joe>@new.org now");
    EXPECT_EQ(first.after[0].marks, (Marks{{5, 9}}));
    EXPECT_EQ(first.after[0].lineEnd, u"\n");  // its own line end, kept

    const ChangedStretch& second = changes.stretches[1];
    EXPECT_EQ(second.firstLine, 4u);
    EXPECT_EQ(second.after[0].text, u"<ann>@new.org");
    EXPECT_EQ(second.after[0].lineEnd, u"\r\n");
    EXPECT_TRUE(second.before[0].lineEnd.empty());

    // Without kept line ends, every line is written with CR LF.
    const FileChanges crlf = describeChanges(path, row, RewriteOptions{});
    EXPECT_EQ(crlf.stretches[0].after[0].lineEnd, u"\r\n");
}

TEST_F(ChangeViewTest, LinesGainedMoveTheNumbersOfLaterStretches) {
    const std::string path = write("a old b\nkeep\nold\n");
    RewriteOptions keep;
    keep.keepLineEnds = true;
    const FileChanges changes = describeChanges(path, plain(u"old", u"one\r\ntwo"), keep);
    ASSERT_EQ(changes.stretches.size(), 2u);
    const ChangedStretch& first = changes.stretches[0];
    ASSERT_EQ(first.after.size(), 2u);
    EXPECT_EQ(first.after[0].text, u"a one");
    EXPECT_EQ(first.after[0].marks, (Marks{{2, 3}}));
    EXPECT_EQ(first.after[0].lineEnd, u"\n");  // a break put in takes the file's first line end
    EXPECT_EQ(first.after[1].text, u"two b");
    EXPECT_EQ(first.after[1].marks, (Marks{{0, 3}}));
    EXPECT_EQ(changes.stretches[1].firstLine, 3u);
    EXPECT_EQ(changes.stretches[1].newFirstLine, 4u);

    // A line break taken out joins two lines into one.
    const FileChanges joined = describeChanges(path, plain(u"b\r\nkeep", u"b+keep"), keep);
    ASSERT_EQ(joined.stretches.size(), 1u);
    EXPECT_EQ(joined.stretches[0].before.size(), 2u);
    ASSERT_EQ(joined.stretches[0].after.size(), 1u);
    EXPECT_EQ(joined.stretches[0].after[0].text, u"a old b+keep");
}

TEST_F(ChangeViewTest, AfterShowsWhatTheCodePageKeepsAndOnlyTheFirstPlacesUpToTheLimit) {
    const std::string path = write("caf\xE9 old\nold old\n");  // CP1252 bytes, no mark
    RewriteOptions options;
    options.ansiCharset = "CP1252";
    const FileChanges changes = describeChanges(path, plain(u"old", u"\u0416"), options, 2);
    EXPECT_EQ(changes.replacements, 3u);
    EXPECT_EQ(changes.shownReplacements, 2u);
    ASSERT_EQ(changes.stretches.size(), 2u);
    EXPECT_EQ(changes.stretches[0].before[0].text, u"caf\u00E9 old");
    EXPECT_EQ(changes.stretches[0].after[0].text, u"caf\u00E9 ?");  // CP1252 has no Zhe
    EXPECT_EQ(changes.stretches[1].after[0].text, u"? old");
    // Nothing to show for a file the run would leave alone.
    EXPECT_EQ(describeChanges(path, plain(u"absent", u"x"), options).outcome, FileOutcome::unchanged);
    EXPECT_EQ(describeChanges(at("missing.htm"), plain(u"old", u"x"), options).outcome, FileOutcome::unreadable);
}

}  // namespace
