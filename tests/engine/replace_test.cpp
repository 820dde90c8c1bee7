// The replacement applied to one text: plain mode with and without letter case, and
// regular-expression mode where each match is replaced at its own position.

#include <gtest/gtest.h>

#include "engine/regex.h"
#include "engine/replace.h"
#include "engine/text.h"

namespace {

PreparedRow plainRow(const Text& search, const Text& replacement, bool matchCase = true) {
    PreparedRow row;
    row.options.matchCase = matchCase;
    row.search = search;
    row.replacement = replacement;
    return row;
}

// A regex row compiled the way a run compiles it: the empty-line option appends CR LF.
PreparedRow regexRow(const Text& pattern, const Text& replacement, bool matchCase = true,
                     bool emptyLine = false) {
    PreparedRow row;
    row.options = {true, matchCase, emptyLine};
    row.search = emptyLine ? pattern + u"\r\n" : pattern;
    row.replacement = replacement;
    row.pattern = compilePattern(row.search, compileFlags(row.options)).pattern;
    EXPECT_NE(row.pattern, nullptr)
        << "pattern does not compile";
    return row;
}

struct Outcome {
    ReplaceResult result;
    Text text;
};

Outcome run(Text text, const PreparedRow& row) {
    const ReplaceResult result = replaceInText(text, row);
    return {result, text};
}

class ReplaceTest : public ::testing::Test {
protected:
    void SetUp() override { useUtf8Locale(); }
};

TEST_F(ReplaceTest, OptionsGiveFindModeAndCompileFlags) {
    EXPECT_EQ(findMode({false, true, false}), 0);
    EXPECT_EQ(findMode({false, false, false}), 1);
    EXPECT_EQ(compileFlags({true, true, false}), multiline | dotAll);
    EXPECT_EQ(compileFlags({true, false, false}), caseless | multiline | dotAll);
    EXPECT_EQ(compileFlags({true, true, true}), multiline | dotAll | newlineAnyCrLf);
    EXPECT_EQ(compileFlags({true, false, true}), caseless | multiline | dotAll | newlineAnyCrLf);
}

// ---- plain mode ----------------------------------------------------------------------

TEST_F(ReplaceTest, PlainIgnoringCaseReplacesEveryCaseVariant) {
    Outcome o = run(u"ab Ab aB", plainRow(u"ab", u"AB", false));
    EXPECT_EQ(o.result, ReplaceResult::changed);
    EXPECT_EQ(o.text, u"AB AB AB");
}

TEST_F(ReplaceTest, PlainIgnoringCaseFoldsLettersBeyondAscii) {
    Outcome o = run(u"Straße ÄPFEL äpfel", plainRow(u"äpfel", u"x", false));
    EXPECT_EQ(o.text, u"Straße x x");
}

TEST_F(ReplaceTest, PlainWithCaseReplacesOnlyTheExactCase) {
    Outcome o = run(u"ab Ab aB ab", plainRow(u"ab", u"X"));
    EXPECT_EQ(o.result, ReplaceResult::changed);
    EXPECT_EQ(o.text, u"X Ab aB X");
}

TEST_F(ReplaceTest, PlainNeverSearchesTheInsertedText) {
    EXPECT_EQ(run(u"aaa", plainRow(u"a", u"aa")).text, u"aaaaaa");
    EXPECT_EQ(run(u"aaa", plainRow(u"A", u"aa", false)).text, u"aaaaaa");
}

TEST_F(ReplaceTest, PlainTakesOccurrencesLeftToRightWithoutOverlap) {
    EXPECT_EQ(run(u"aaaaa", plainRow(u"aa", u"X")).text, u"XXa");
    EXPECT_EQ(run(u"AaAaA", plainRow(u"aa", u"X", false)).text, u"XXA");
}

TEST_F(ReplaceTest, PlainWithoutOccurrenceLeavesTheTextUnchanged) {
    for (bool matchCase : {true, false}) {
        Outcome o = run(u"old\r\nold", plainRow(u"xyz", u"new", matchCase));
        EXPECT_EQ(o.result, ReplaceResult::unchanged);
        EXPECT_EQ(o.text, u"old\r\nold");
    }
}

TEST_F(ReplaceTest, PlainCanEmptyTheTextAndReachItsEnds) {
    EXPECT_EQ(run(u"abc", plainRow(u"abc", u"")).text, u"");
    EXPECT_EQ(run(u"abcxabc", plainRow(u"ABC", u"-", false)).text, u"-x-");
    EXPECT_EQ(run(u"a", plainRow(u"a", u"b\r\n")).text, u"b\r\n");
}

TEST_F(ReplaceTest, PlainSearchAcrossLineBreaks) {
    EXPECT_EQ(run(u"a\r\nb\r\na", plainRow(u"\r\nb", u"")).text, u"a\r\na");
}

TEST_F(ReplaceTest, PlainOverManyOccurrencesReplacesEachOnce) {
    Text text;
    Text expected;
    for (int i = 0; i < 100000; ++i) {
        text += u"name value unit\r\n";
        expected += u"name VALUE unit\r\n";
    }
    for (bool matchCase : {true, false}) {
        Outcome o = run(text, plainRow(u"value", u"VALUE", matchCase));
        EXPECT_EQ(o.result, ReplaceResult::changed);
        EXPECT_TRUE(o.text == expected) << "matchCase " << matchCase;
    }
}

// ---- regular expressions -------------------------------------------------------------

TEST_F(ReplaceTest, RegexPutsGroupOneIntoEachMatchsReplacement) {
    Outcome o = run(u"x1 x2 x1", regexRow(u"x(\\d)", u"[\\1]"));
    EXPECT_EQ(o.result, ReplaceResult::changed);
    EXPECT_EQ(o.text, u"[1] [2] [1]");
}

TEST_F(ReplaceTest, RegexReplacesEachMatchWhereItWasFound) {
    EXPECT_EQ(run(u"1 12", regexRow(u"\\d+", u"N")).text, u"N N");
    EXPECT_EQ(run(u"12 1", regexRow(u"\\d+", u"N")).text, u"N N");
    // The 'a' of 'ac' is not a match and stays.
    EXPECT_EQ(run(u"ab ac", regexRow(u"a(?=b)", u"X")).text, u"Xb ac");
}

TEST_F(ReplaceTest, RegexIgnoringCaseReplacesEveryMatch) {
    EXPECT_EQ(run(u"aAb", regexRow(u"a|b", u"X", false)).text, u"XXX");
    EXPECT_EQ(run(u"aAb", regexRow(u"a|b", u"X", true)).text, u"XAX");
}

TEST_F(ReplaceTest, EmptyLineOptionRemovesOnlyTheEmptyLines) {
    EXPECT_EQ(run(u"a\r\n\r\nb", regexRow(u"^[ \\t]*", u"", true, true)).text, u"a\r\nb");
    EXPECT_EQ(run(u"a\r\n  \r\nb", regexRow(u"^[ \\t]*", u"", true, true)).text, u"a\r\nb");
    EXPECT_EQ(run(u"a\r\n\r\n\t \r\n\r\nb\r\nc", regexRow(u"^[ \\t]*", u"", true, true)).text,
              u"a\r\nb\r\nc");
    // An empty search text becomes the pattern CR LF alone.
    EXPECT_EQ(run(u"a\r\nb", regexRow(u"", u"+", true, true)).text, u"a+b");
}

TEST_F(ReplaceTest, RegexRecognisesNoReferenceButBackslashOne) {
    EXPECT_EQ(run(u"ab", regexRow(u"(a)(b)", u"\\2$1\\0\\1")).text, u"\\2$1\\0a");
    // A group that took no part in the match puts in nothing.
    EXPECT_EQ(run(u"y", regexRow(u"(x)?y", u"[\\1]")).text, u"[]");
    // A pattern without groups puts in nothing either.
    EXPECT_EQ(run(u"y", regexRow(u"y", u"[\\1]")).text, u"[]");
}

// A text counts as changed only when it is different afterwards: occurrences replaced by
// their own text and empty matches (which insert nothing) leave it unchanged, so that its
// file is not rewritten.
TEST_F(ReplaceTest, TextIsChangedOnlyWhenItDiffersAfterwards) {
    const struct {
        Text text;
        bool regex;
        bool matchCase;
        Text search;
        Text replacement;
        ReplaceResult result;
        Text after;
    } cases[] = {
        {u"same same", false, true, u"same", u"same", ReplaceResult::unchanged, u"same same"},
        {u"ab AB", false, false, u"ab", u"ab", ReplaceResult::changed, u"ab ab"},
        {u"ab ab", false, false, u"AB", u"ab", ReplaceResult::unchanged, u"ab ab"},
        {u"a\r\nb", true, true, u"^", u"// ", ReplaceResult::unchanged, u"a\r\nb"},
        {u"ab", true, true, u"z*", u"Z", ReplaceResult::unchanged, u"ab"},
        {u"x1 x2", true, true, u"x(\\d)", u"x\\1", ReplaceResult::unchanged, u"x1 x2"},
        {u"x1 y2", true, true, u"[xy](\\d)", u"x\\1", ReplaceResult::changed, u"x1 x2"},
        {u"ab", true, true, u"b*", u"X", ReplaceResult::changed, u"aX"},
    };
    for (const auto& c : cases) {
        const PreparedRow row =
            c.regex ? regexRow(c.search, c.replacement, c.matchCase) : plainRow(c.search, c.replacement, c.matchCase);
        const Outcome o = run(c.text, row);
        EXPECT_EQ(o.result, c.result) << textToUtf8(c.search);
        EXPECT_EQ(o.text, c.after) << textToUtf8(c.search);
    }
}

TEST_F(ReplaceTest, RegexWithoutMatchLeavesTheTextUnchanged) {
    Outcome o = run(u"abc", regexRow(u"\\d", u"N"));
    EXPECT_EQ(o.result, ReplaceResult::unchanged);
    EXPECT_EQ(o.text, u"abc");
}

TEST_F(ReplaceTest, RegexMatchPositionsCountUtf16Units) {
    EXPECT_EQ(run(u"\U0001F600x éx", regexRow(u"x", u"Y")).text, u"\U0001F600Y éY");
    EXPECT_EQ(run(u"ÉtÉ", regexRow(u"é", u"e", false)).text, u"ete");
}

TEST_F(ReplaceTest, RegexMultilineAndDotAllSpanLines) {
    EXPECT_EQ(run(u"a\r\nb\r\nc", regexRow(u"^b.", u"X")).text, u"a\r\nX\nc");
    EXPECT_EQ(run(u"<a\r\nb>", regexRow(u"<.*>", u"-")).text, u"-");
}

TEST_F(ReplaceTest, RegexMatchErrorLeavesTheTextAsItWas) {
    const Text text = u"x " + Text(40, u'a') + u"b";
    Outcome o = run(text, regexRow(u"x|(a+)+$", u"Y"));
    EXPECT_EQ(o.result, ReplaceResult::failed);
    EXPECT_EQ(o.text, text);
}

}  // namespace
