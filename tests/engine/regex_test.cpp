#include "engine/regex.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Found {
  std::size_t start;
  std::size_t length;
  Text text;
  bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* os) {
  *os << "{start " << f.start << ", length " << f.length << ", " << f.text.size() << " units}";
}

// Every match nextMatch reports for subject, in order.
std::vector<Found> iterate(RegexSlot slot, TextView subject) {
  std::vector<Found> found;
  if (!beginMatches(slot, subject)) return found;
  while (nextMatch(slot) && found.size() < 1000)
    found.push_back({matchStart(slot), matchLength(slot), matchText(slot)});
  return found;
}

std::vector<Text> extract(RegexSlot slot, TextView subject) {
  std::vector<Text> list;
  int count = extractAll(slot, subject, list);
  EXPECT_EQ(static_cast<std::size_t>(count), list.size());
  return list;
}

const Text folderSplitterSlash = u"(?:^|(?<=/)).*?(?=/)";
const Text folderSplitterBackslash = u"(?:^|(?<=\\\\)).*?(?=\\\\)";

// The matching tests run twice: with JIT and, through (*NO_JIT), with the interpreter.
class RegexMatchTest : public ::testing::TestWithParam<const char16_t*> {
 protected:
  bool compile(TextView pattern, uint32_t flags = 0, RegexSlot slot = rowPattern) {
    return compilePattern(slot, Text(GetParam()) + Text(pattern), flags);
  }
};

TEST_P(RegexMatchTest, CaselessFlagMatchesTheOtherLetterCase) {
  ASSERT_TRUE(compile(u"a", caseless));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"A"));
  ASSERT_TRUE(compile(u"\u00e9", caseless));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"\u00c9"));
  ASSERT_TRUE(compile(u"a"));
  EXPECT_FALSE(matchesAnywhere(rowPattern, u"A"));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"Ba"));
}

TEST_P(RegexMatchTest, MultilineAndDotAllMatchAcrossLineBreaks) {
  const Text subject = u"a\nb\nc";
  ASSERT_TRUE(compile(u"^b.c$", multiline | dotAll));
  EXPECT_EQ(iterate(rowPattern, subject), (std::vector<Found>{{2, 3, u"b\nc"}}));
  ASSERT_TRUE(compile(u"^b.c$", multiline));
  EXPECT_FALSE(matchesAnywhere(rowPattern, subject));
  ASSERT_TRUE(compile(u"^b.c$", dotAll));
  EXPECT_FALSE(matchesAnywhere(rowPattern, subject));
  ASSERT_TRUE(compile(u"^b$", multiline));
  EXPECT_TRUE(matchesAnywhere(rowPattern, subject));
}

TEST_P(RegexMatchTest, WithoutAnyCrLfOnlyLfEndsALine) {
  ASSERT_TRUE(compile(u"a$", multiline));
  EXPECT_FALSE(matchesAnywhere(rowPattern, u"a\r\nb"));
  ASSERT_TRUE(compile(u"a\\r$", multiline));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"a\r\nb"));
  ASSERT_TRUE(compile(u"^b", multiline));
  EXPECT_FALSE(matchesAnywhere(rowPattern, u"a\rb"));
}

TEST_P(RegexMatchTest, AnyCrLfLetsCrLfAndCrEndALine) {
  ASSERT_TRUE(compile(u"a$", multiline | newlineAnyCrLf));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"a\r\nb"));
  ASSERT_TRUE(compile(u"^b", multiline | newlineAnyCrLf));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"a\rb"));
  // Without dotAll a dot does not match the CR of a line end either.
  ASSERT_TRUE(compile(u"a.", newlineAnyCrLf));
  EXPECT_FALSE(matchesAnywhere(rowPattern, u"a\r\n"));
}

TEST_P(RegexMatchTest, AnyCrLfCaretDollarFindsTheEmptyLine) {
  ASSERT_TRUE(compile(u"^$", multiline | newlineAnyCrLf));
  EXPECT_EQ(iterate(rowPattern, u"a\r\n\r\nb"), (std::vector<Found>{{3, 0, u""}}));
}

TEST_P(RegexMatchTest, AnyCrLfEmptyMatchesStepOverACrLfAsOneCharacter) {
  // Between the CR and the LF there is neither a line start nor a line end.
  ASSERT_TRUE(compile(u"^", multiline | newlineAnyCrLf));
  EXPECT_EQ(iterate(rowPattern, u"a\r\nb\r\n\r\nc"),
            (std::vector<Found>{{0, 0, u""}, {3, 0, u""}, {6, 0, u""}, {8, 0, u""}}));
  EXPECT_EQ(extract(rowPattern, u"\r\n\r\n").size(), 2u);
  ASSERT_TRUE(compile(u"x*", newlineAnyCrLf));
  EXPECT_EQ(iterate(rowPattern, u"a\r\nb"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}, {3, 0, u""}}));
  // A lone CR and a lone LF are one character each.
  EXPECT_EQ(iterate(rowPattern, u"\n\r").size(), 2u);
  // With LF line ends alone, CR and LF are two characters.
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"a\r\nb").size(), 4u);
}

TEST_P(RegexMatchTest, EmptyMatchesMoveOnOneCharacterAndStopAtTheEnd) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"ab"), (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  EXPECT_TRUE(iterate(rowPattern, u"").empty());
  EXPECT_FALSE(matchFailed(rowPattern));
}

TEST_P(RegexMatchTest, EmptyAndNonEmptyMatchesFollowEachOther) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"axxb"),
            (std::vector<Found>{{0, 0, u""}, {1, 2, u"xx"}, {3, 0, u""}}));
}

TEST_P(RegexMatchTest, EmptyMatchesOverNonAsciiLetters) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"\u00e4\u4e2d"), (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  ASSERT_TRUE(compile(u"(?=\u00f6)"));
  EXPECT_EQ(iterate(rowPattern, u"\u00e4\u00e4\u00f6"), (std::vector<Found>{{2, 0, u""}}));
}

TEST_P(RegexMatchTest, EmptyMatchesNeverLandInsideASurrogatePair) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"a\U0001F600b"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}, {3, 0, u""}}));
  EXPECT_EQ(iterate(rowPattern, u"\U0001F600\U0001F601"),
            (std::vector<Found>{{0, 0, u""}, {2, 0, u""}}));
}

TEST_P(RegexMatchTest, AnEmptyMatchAheadOfTheStartIsReportedOnce) {
  ASSERT_TRUE(compile(u"(?=b)"));
  EXPECT_EQ(iterate(rowPattern, u"aabab"), (std::vector<Found>{{2, 0, u""}, {4, 0, u""}}));
  // The one at the very end is found by an attempt that starts before it.
  ASSERT_TRUE(compile(u"\\b"));
  EXPECT_EQ(iterate(rowPattern, u"  ab cd"),
            (std::vector<Found>{{2, 0, u""}, {4, 0, u""}, {5, 0, u""}, {7, 0, u""}}));
}

TEST_P(RegexMatchTest, NonEmptyMatchesContinueAtTheirEnd) {
  ASSERT_TRUE(compile(u"aa"));
  EXPECT_EQ(iterate(rowPattern, u"aaaaa"), (std::vector<Found>{{0, 2, u"aa"}, {2, 2, u"aa"}}));
}

TEST_P(RegexMatchTest, StartAndLengthCountUtf16CodeUnits) {
  ASSERT_TRUE(compile(u"b.c"));
  EXPECT_EQ(iterate(rowPattern, u"\U0001F600\U0001F600b\U0001F601c!"),
            (std::vector<Found>{{4, 4, u"b\U0001F601c"}}));
  ASSERT_TRUE(compile(u"\\x{1F601}+"));
  EXPECT_EQ(iterate(rowPattern, u"\u00e9\U0001F601\U0001F601x"),
            (std::vector<Found>{{1, 4, u"\U0001F601\U0001F601"}}));
}

TEST_P(RegexMatchTest, IterationWorksOnItsOwnCopyOfTheSubject) {
  ASSERT_TRUE(compile(u"\\w+"));
  Text subject = u"one two";
  ASSERT_TRUE(beginMatches(rowPattern, subject));
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchText(rowPattern), u"one");
  subject = u"x";
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchText(rowPattern), u"two");
  EXPECT_EQ(matchStart(rowPattern), 4u);
}

TEST_P(RegexMatchTest, NoFurtherMatchClearsTheCurrentMatch) {
  ASSERT_TRUE(compile(u"(b)"));
  ASSERT_TRUE(beginMatches(rowPattern, u"abc"));
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchGroup(rowPattern, 1), u"b");
  EXPECT_FALSE(nextMatch(rowPattern));
  EXPECT_FALSE(matchFailed(rowPattern));
  EXPECT_EQ(matchText(rowPattern), u"");
  EXPECT_EQ(matchGroup(rowPattern, 1), u"");
  EXPECT_EQ(matchStart(rowPattern), 0u);
  EXPECT_EQ(matchLength(rowPattern), 0u);
  EXPECT_FALSE(nextMatch(rowPattern));
}

TEST_P(RegexMatchTest, BeginMatchesStartsAgainFromTheBeginning) {
  ASSERT_TRUE(compile(u"\\d"));
  ASSERT_TRUE(beginMatches(rowPattern, u"1a2"));
  ASSERT_TRUE(nextMatch(rowPattern));
  ASSERT_TRUE(beginMatches(rowPattern, u"34"));
  EXPECT_EQ(matchText(rowPattern), u"");
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchText(rowPattern), u"3");
}

TEST_P(RegexMatchTest, GroupsGiveTheirTextOrNothing) {
  ASSERT_TRUE(compile(u"(a)|(b)(x)?"));
  ASSERT_TRUE(beginMatches(rowPattern, u"b"));
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchGroup(rowPattern, 1), u"");  // did not take part
  EXPECT_EQ(matchGroup(rowPattern, 2), u"b");
  EXPECT_EQ(matchGroup(rowPattern, 3), u"");  // optional, not set
  EXPECT_EQ(matchGroup(rowPattern, 4), u"");
  EXPECT_EQ(matchGroup(rowPattern, 0), u"");
  EXPECT_EQ(matchGroup(rowPattern, -1), u"");

  ASSERT_TRUE(compile(u"old(\\w+)"));
  ASSERT_TRUE(beginMatches(rowPattern, u"an oldword, oldest"));
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchGroup(rowPattern, 1), u"word");
  EXPECT_EQ(matchGroup(rowPattern, 2), u"");
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchGroup(rowPattern, 1), u"est");
}

TEST_P(RegexMatchTest, LoneSurrogatesAreMatchedLikeOtherCharacters) {
  const Text subject = u"ab\xDC80" u"cd\xD800";
  ASSERT_TRUE(compile(u"c"));
  EXPECT_EQ(iterate(rowPattern, subject), (std::vector<Found>{{3, 1, u"c"}}));
  ASSERT_TRUE(compile(u"b.c"));
  EXPECT_EQ(iterate(rowPattern, subject), (std::vector<Found>{{1, 3, u"b\xDC80" u"c"}}));
  ASSERT_TRUE(compile(u"[^x]+$"));
  EXPECT_EQ(extract(rowPattern, subject), (std::vector<Text>{subject}));
  ASSERT_TRUE(compile(u"^.*\\.txt$"));
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"caf\xDCE9.txt"));
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(rowPattern, u"\xD800\xD800\xDC00"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  EXPECT_FALSE(matchFailed(rowPattern));
}

// Bytes that are not valid in a file's encoding come in as escape units: a U+FFFD typed in
// the pattern, in any spelling, finds only a real U+FFFD, while patterns for "any
// character" or "not a letter" still take an escape unit as one character.
TEST_P(RegexMatchTest, TypedReplacementCharacterFindsOnlyARealOne) {
  const Text subject = u"caf\xDCE9 \uFFFD \xDC80";
  for (const Text pattern : {u"\uFFFD", u"\\x{FFFD}", u"[\uFFFD]", u"[b\\x{FFFD}]", u"[\\x{FFF0}-\\x{FFFE}]",
                             u"\\N{U+FFFD}"}) {
    ASSERT_TRUE(compile(pattern));
    EXPECT_EQ(iterate(rowPattern, subject), (std::vector<Found>{{5, 1, u"\uFFFD"}})) << textToUtf8(pattern);
  }
  ASSERT_TRUE(compile(u"f."));
  EXPECT_EQ(extract(rowPattern, subject), (std::vector<Text>{u"f\xDCE9"}));
  ASSERT_TRUE(compile(u"\\W+"));
  EXPECT_EQ(extract(rowPattern, subject), (std::vector<Text>{u"\xDCE9 \uFFFD \xDC80"}));
  ASSERT_TRUE(compile(u"[^a-z ]", caseless));
  EXPECT_EQ(extract(rowPattern, subject), (std::vector<Text>{u"\xDCE9", u"\uFFFD", u"\xDC80"}));
}

// Lone surrogates are looked for many units at a time; a pair or a lone one at any offset,
// also across the blocks of units looked at together, must be seen as it is.
TEST_P(RegexMatchTest, SurrogatesAtEveryOffsetOfALongSubject) {
  ASSERT_TRUE(compile(u"[^a]"));
  for (size_t k = 0; k < 20; ++k) {
    const Text before(k, u'a');
    const Text after(12, u'a');
    EXPECT_EQ(iterate(rowPattern, before + u"\xDC80" + after), (std::vector<Found>{{k, 1, u"\xDC80"}})) << k;
    EXPECT_EQ(iterate(rowPattern, before + u"\xD800" + after), (std::vector<Found>{{k, 1, u"\xD800"}})) << k;
    EXPECT_EQ(iterate(rowPattern, before + u"\U0001F600" + after), (std::vector<Found>{{k, 2, u"\U0001F600"}})) << k;
  }
}

TEST_P(RegexMatchTest, RunawayBacktrackingEndsWithAnError) {
  ASSERT_TRUE(compile(u"(a+)+$"));
  const Text subject = Text(40, u'a') + u"b";
  ASSERT_TRUE(beginMatches(rowPattern, subject));
  EXPECT_FALSE(nextMatch(rowPattern));
  EXPECT_TRUE(matchFailed(rowPattern));
  EXPECT_NE(matchErrorText(rowPattern).find(u"limit"), Text::npos);
  EXPECT_EQ(matchText(rowPattern), u"");

  EXPECT_FALSE(matchesAnywhere(rowPattern, subject));
  EXPECT_TRUE(matchFailed(rowPattern));

  // The next attempt that ends normally clears the error.
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"aaa"));
  EXPECT_FALSE(matchFailed(rowPattern));
  EXPECT_EQ(matchErrorText(rowPattern), u"");
}

TEST_P(RegexMatchTest, DeepBacktrackingOnALongLineSucceeds) {
  ASSERT_TRUE(compile(u"(a|b)*c"));
  Text subject;
  for (int i = 0; i < 50000; ++i) subject += u"ab";
  subject += u"c";
  ASSERT_TRUE(beginMatches(rowPattern, subject));
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_FALSE(matchFailed(rowPattern)) << std::string(matchErrorText(rowPattern).begin(),
                                                       matchErrorText(rowPattern).end());
  EXPECT_EQ(matchLength(rowPattern), subject.size());
  EXPECT_EQ(matchGroup(rowPattern, 1), u"b");
}

TEST_P(RegexMatchTest, ExtractAllSplitsFoldersOffSlashPaths) {
  ASSERT_TRUE(compile(folderSplitterSlash, 0, pathSplitter));
  EXPECT_EQ(extract(pathSplitter, u"sub/deep/page.htm"), (std::vector<Text>{u"sub", u"deep"}));
  EXPECT_EQ(extract(pathSplitter, u"c.txt"), std::vector<Text>{});
  EXPECT_EQ(extract(pathSplitter, u"a//b"), (std::vector<Text>{u"a", u""}));
  EXPECT_EQ(extract(pathSplitter, u"\u00e9t\u00e9/\U0001F600/x"),
            (std::vector<Text>{u"\u00e9t\u00e9", u"\U0001F600"}));
}

TEST_P(RegexMatchTest, ExtractAllSplitsFoldersOffBackslashPaths) {
  ASSERT_TRUE(compile(folderSplitterBackslash, 0, pathSplitter));
  EXPECT_EQ(extract(pathSplitter, u"a\\b\\c.txt"), (std::vector<Text>{u"a", u"b"}));
  EXPECT_EQ(extract(pathSplitter, u"a/b/c.txt"), std::vector<Text>{});
}

TEST_P(RegexMatchTest, ExtractAllReportsAnEmptyMatchAtTheEnd) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(extract(rowPattern, u"ab"), (std::vector<Text>{u"", u"", u""}));
  EXPECT_EQ(extract(rowPattern, u""), (std::vector<Text>{u""}));
  EXPECT_EQ(extract(rowPattern, u"a\U0001F600"), (std::vector<Text>{u"", u"", u""}));
  ASSERT_TRUE(compile(u"(?=/)"));
  EXPECT_EQ(extract(rowPattern, u"ab/"), (std::vector<Text>{u""}));
}

TEST_P(RegexMatchTest, ExtractAllResizesTheListToTheCount) {
  ASSERT_TRUE(compile(u"\\d+"));
  std::vector<Text> list{u"old", u"old", u"old", u"old"};
  EXPECT_EQ(extractAll(rowPattern, u"1 22 x", list), 2);
  EXPECT_EQ(list, (std::vector<Text>{u"1", u"22"}));
  EXPECT_EQ(extractAll(rowPattern, u"none", list), 0);
  EXPECT_TRUE(list.empty());
}

TEST_P(RegexMatchTest, OneShotOperationsLeaveAnIterationAlone) {
  ASSERT_TRUE(compile(u"(\\w)\\w"));
  ASSERT_TRUE(beginMatches(rowPattern, u"ab cd"));
  ASSERT_TRUE(nextMatch(rowPattern));
  std::vector<Text> list;
  EXPECT_EQ(extractAll(rowPattern, u"xy zw uv", list), 3);
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"pq"));
  EXPECT_EQ(matchText(rowPattern), u"ab");
  EXPECT_EQ(matchGroup(rowPattern, 1), u"a");
  ASSERT_TRUE(nextMatch(rowPattern));
  EXPECT_EQ(matchText(rowPattern), u"cd");
}

TEST_P(RegexMatchTest, SlotsAreIndependent) {
  ASSERT_TRUE(compile(u"b+", 0, rowPattern));
  ASSERT_TRUE(compile(u"^x", 0, nameFilter));
  ASSERT_TRUE(beginMatches(rowPattern, u"abbc"));
  ASSERT_TRUE(nextMatch(rowPattern));
  ASSERT_FALSE(compile(u"(", 0, nameFilter));
  EXPECT_EQ(matchText(rowPattern), u"bb");
  EXPECT_TRUE(matchesAnywhere(rowPattern, u"b"));
  EXPECT_FALSE(matchesAnywhere(nameFilter, u"x"));
}

INSTANTIATE_TEST_SUITE_P(RegexEngines, RegexMatchTest,
                         ::testing::Values(u"", u"(*NO_JIT)"),
                         [](const ::testing::TestParamInfo<const char16_t*>& info) {
                           return std::string(info.param[0] == 0 ? "Jit" : "Interpreter");
                         });

TEST(RegexCompileTest, ErrorGivesTheLibraryMessageAndIsClearedBySuccess) {
  EXPECT_FALSE(compilePattern(rowPattern, u"(a", 0));
  EXPECT_EQ(compileError(), u"missing closing parenthesis");
  EXPECT_FALSE(compilePattern(rowPattern, u"a{2,1}", 0));
  EXPECT_FALSE(compileError().empty());
  EXPECT_TRUE(compilePattern(rowPattern, u"a", 0));
  EXPECT_EQ(compileError(), u"");
}

TEST(RegexCompileTest, FailedCompileLeavesTheSlotWithoutAPattern) {
  ASSERT_TRUE(compilePattern(nameFilter, u"a", 0));
  ASSERT_TRUE(beginMatches(nameFilter, u"a"));
  ASSERT_TRUE(nextMatch(nameFilter));
  ASSERT_FALSE(compilePattern(nameFilter, u"[a", 0));

  EXPECT_EQ(matchText(nameFilter), u"");
  EXPECT_EQ(matchStart(nameFilter), 0u);
  EXPECT_EQ(matchLength(nameFilter), 0u);
  EXPECT_FALSE(nextMatch(nameFilter));
  EXPECT_FALSE(beginMatches(nameFilter, u"a"));
  EXPECT_FALSE(nextMatch(nameFilter));
  EXPECT_FALSE(matchesAnywhere(nameFilter, u"a"));
  EXPECT_FALSE(matchFailed(nameFilter));
  EXPECT_EQ(matchErrorText(nameFilter), u"");
  std::vector<Text> list{u"stale"};
  EXPECT_EQ(extractAll(nameFilter, u"aaa", list), 0);
  EXPECT_TRUE(list.empty());
}

TEST(RegexCompileTest, CompilingDiscardsTheIterationOfTheSlot) {
  ASSERT_TRUE(compilePattern(rowPattern, u"a", 0));
  ASSERT_TRUE(beginMatches(rowPattern, u"aaa"));
  ASSERT_TRUE(nextMatch(rowPattern));
  ASSERT_TRUE(compilePattern(rowPattern, u"a", 0));
  EXPECT_EQ(matchText(rowPattern), u"");
  EXPECT_FALSE(nextMatch(rowPattern));
}

TEST(RegexCompileTest, LeadingLiteralIsWhatEveryMatchBeginsWith) {
  EXPECT_EQ(leadingLiteral(u"old(\\w+)"), u"old");
  EXPECT_EQ(leadingLiteral(u"old site\\b"), u"old site");
  EXPECT_EQ(leadingLiteral(u"olds?"), u"old");
  EXPECT_EQ(leadingLiteral(u"ab{2}"), u"a");
  EXPECT_EQ(leadingLiteral(u"a*b"), u"");
  EXPECT_EQ(leadingLiteral(u"old|new"), u"");
  EXPECT_EQ(leadingLiteral(u"ol(d|e)"), u"");
  EXPECT_EQ(leadingLiteral(u"\\wold"), u"");
  EXPECT_EQ(leadingLiteral(u".old"), u"");
  EXPECT_EQ(leadingLiteral(u"caf\u00E9\uFFFF"), u"caf\u00E9");
  EXPECT_EQ(leadingLiteral(u"caf\uFFFD"), u"caf\uFFFD");
  EXPECT_EQ(leadingLiteral(u"abc\r\n"), u"abc");
}

TEST(RegexCompileTest, PatternWithALoneSurrogateIsRefusedWithAMessage) {
  EXPECT_FALSE(compilePattern(rowPattern, u"a\xDC80", 0));
  EXPECT_FALSE(compileError().empty());
  EXPECT_FALSE(matchesAnywhere(rowPattern, u"a\xDC80"));
}

TEST(RegexCompileTest, EmptyPatternMatchesEmptyAtEveryCharacter) {
  ASSERT_TRUE(compilePattern(rowPattern, u"", 0));
  EXPECT_EQ(iterate(rowPattern, u"ab").size(), 2u);
  EXPECT_EQ(extract(rowPattern, u"ab").size(), 3u);
}

// A compiled pattern is matched on several threads at once, each iteration its own, and a
// pattern compiled again afterwards is the one every thread then matches.
TEST(RegexThreadTest, ThreadsMatchOnePatternEachWithItsOwnIteration) {
    ASSERT_TRUE(compilePattern(rowPattern, u"a(\\d+)", 0));
    std::vector<std::vector<Text>> found(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < found.size(); ++t) {
        threads.emplace_back([&found, t] {
            Text subject;
            for (int i = 0; i < 2000; ++i) subject += u"a" + textFromUtf8(std::to_string(i * 4 + static_cast<int>(t))) + u" ";
            for (int round = 0; round < 3; ++round) {
                found[t].clear();
                if (!beginMatches(rowPattern, subject)) return;
                while (nextMatch(rowPattern)) found[t].push_back(matchGroup(rowPattern, 1));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < found.size(); ++t) {
        ASSERT_EQ(found[t].size(), 2000u) << t;
        for (int i = 0; i < 2000; i += 499) EXPECT_EQ(found[t][i], textFromUtf8(std::to_string(i * 4 + static_cast<int>(t))));
    }
    ASSERT_TRUE(compilePattern(rowPattern, u"b", 0));
    bool matched = true;
    std::thread([&] { matched = matchesAnywhere(rowPattern, u"a1"); }).join();
    EXPECT_FALSE(matched);
    std::thread([&] { matched = matchesAnywhere(rowPattern, u"ab"); }).join();
    EXPECT_TRUE(matched);
}

}  // namespace
