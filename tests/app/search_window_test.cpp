// The checks made before a run, in their order, and the run of the Polygon tab, through
// the real window's editors, check boxes and run buttons.

#include "tests/support/program_window.h"

#include "app/search.h"

namespace {

using namespace testing_support;

class SearchTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(polygonTab);
        for (const char* key : {"reg1", "spa1", "reg2", "spa2"}) setOption(key, false);
        setOption("cas1", true);
        setOption("cas2", true);
    }

    // Row 2 on the Polygon tab, run with its button as the user does.
    Text runPolygon(const Text& sample, const Text& search, const Text& replacement) {
        tk::setGadgetText(app.g.edi4, sample);
        tk::setGadgetText(app.g.edi5, search);
        tk::setGadgetText(app.g.edi6, replacement);
        click(app.g.runButton2);
        return tk::getGadgetText(app.g.edi4);
    }
};

TEST_F(SearchTest, EmptyLineOptionWithoutRegexIsErrorFiveEvenForAnEmptySearch) {
    setOption("spa2", true);
    EXPECT_EQ(runPolygon(u"a\r\n\r\nb", u"", u""), u"a\r\n\r\nb");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"For removal of an empty line it is necessary to use regular expressions");
}

TEST_F(SearchTest, EmptySearchIsErrorOne) {
    EXPECT_EQ(runPolygon(u"abc", u"", u"x"), u"abc");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"Mistake");
    EXPECT_EQ(messages[0].text, u"Field for search empty.");
}

TEST_F(SearchTest, EmptySearchWithEmptyLineOptionBecomesTheLineBreak) {
    setOption("reg2", true);
    setOption("spa2", true);
    EXPECT_EQ(runPolygon(u"a\r\nb", u"", u"-"), u"a-b");
    EXPECT_TRUE(messages.empty());
}

TEST_F(SearchTest, PatternThatDoesNotCompileIsErrorTwoWithTheLibrarysMessage) {
    setOption("reg2", true);
    EXPECT_EQ(runPolygon(u"(a", u"(a", u"x"), u"(a");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              u"For not clear reason regular expression was not created.\r\n"
              u"Below there should be a description of a mistake in English.\r\n\r\n"
              u"missing closing parenthesis");
}

TEST_F(SearchTest, PolygonReplacesWithRowTwosOptions) {
    EXPECT_EQ(runPolygon(u"ab Ab aB", u"ab", u"X"), u"X Ab aB");
    setOption("cas2", false);
    EXPECT_EQ(runPolygon(u"ab Ab aB", u"ab", u"AB"), u"AB AB AB");
    setOption("reg2", true);
    EXPECT_EQ(runPolygon(u"x1 x2 x1", u"x(\\d)", u"[\\1]"), u"[1] [2] [1]");
    setOption("spa2", true);
    EXPECT_EQ(runPolygon(u"a\r\n\r\nb\r\n  \r\nc", u"^[ \\t]*", u""), u"a\r\nb\r\nc");
    EXPECT_TRUE(messages.empty());
}

TEST_F(SearchTest, PolygonIgnoresRowOnesOptions) {
    setOption("reg1", true);
    setOption("cas1", false);
    EXPECT_EQ(runPolygon(u"a.c abc A.C", u"a.c", u"-"), u"- abc A.C");
}

TEST_F(SearchTest, PolygonLeavesTheSampleEditorAloneWhenNothingChanged) {
    tk::setGadgetText(app.g.edi4, u"nothing here");
    tk::setEditorSelection(app.g.edi4, 2, 5);
    tk::setGadgetText(app.g.edi5, u"xyz");
    tk::setGadgetText(app.g.edi6, u"q");
    click(app.g.runButton2);
    int start = -1, end = -1;
    tk::getEditorSelection(app.g.edi4, start, end);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(end, 5);
    EXPECT_EQ(tk::getGadgetText(app.g.edi4), u"nothing here");
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(tk::isGadgetHidden(app.g.resultBox));
}

TEST_F(SearchTest, PolygonRunNeitherLocksNorReports) {
    runPolygon(u"abc", u"b", u"B");
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton2));
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"");
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
}

TEST_F(SearchTest, RowOneIsTakenFromTheWorkTab) {
    tk::setGadgetText(app.g.searchEditor1, u"two\r\nlines");
    tk::setGadgetText(app.g.replaceEditor1, u"r");
    setOption("reg1", true);
    setOption("cas1", false);
    setOption("spa1", true);
    PreparedRow row;
    ASSERT_TRUE(prepareRow(1, row));
    EXPECT_EQ(row.search, u"two\r\nlines\r\n");
    EXPECT_EQ(row.replacement, u"r");
    EXPECT_TRUE(row.options.useRegex);
    EXPECT_FALSE(row.options.matchCase);
    EXPECT_TRUE(row.options.emptyLineMode);
}

}  // namespace
