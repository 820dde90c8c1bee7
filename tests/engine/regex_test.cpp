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

// Every match the matcher's iteration reports for subject, in order.
std::vector<Found> iterate(Matcher& matcher, TextView subject) {
  std::vector<Found> found;
  if (!matcher.begin(subject)) return found;
  while (matcher.next() && found.size() < 1000)
    found.push_back({matcher.start(), matcher.length(), Text(subject.substr(matcher.start(), matcher.length()))});
  return found;
}

// The texts of those matches.
std::vector<Text> texts(Matcher& matcher, TextView subject) {
  std::vector<Text> list;
  for (const Found& f : iterate(matcher, subject)) list.push_back(f.text);
  return list;
}

// The text of the current match of an iteration over subject.
Text current(const Matcher& matcher, TextView subject) { return Text(subject.substr(matcher.start(), matcher.length())); }

// The matching tests run twice: with JIT and, through (*NO_JIT), with the interpreter.
class RegexMatchTest : public ::testing::TestWithParam<const char16_t*> {
 protected:
  // Compiles pattern into pattern_ and makes it the one matcher_ matches.
  bool compile(TextView pattern, uint32_t flags = 0) {
    pattern_ = compilePattern(Text(GetParam()) + Text(pattern), flags).pattern;
    return pattern_ != nullptr && matcher_.use(pattern_);
  }
  std::shared_ptr<const Pattern> pattern_;
  Matcher matcher_;
};

TEST_P(RegexMatchTest, CaselessFlagMatchesTheOtherLetterCase) {
  ASSERT_TRUE(compile(u"a", caseless));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"A"));
  ASSERT_TRUE(compile(u"\u00e9", caseless));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"\u00c9"));
  ASSERT_TRUE(compile(u"a"));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"A"));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"Ba"));
}

TEST_P(RegexMatchTest, MultilineAndDotAllMatchAcrossLineBreaks) {
  const Text subject = u"a\nb\nc";
  ASSERT_TRUE(compile(u"^b.c$", multiline | dotAll));
  EXPECT_EQ(iterate(matcher_, subject), (std::vector<Found>{{2, 3, u"b\nc"}}));
  ASSERT_TRUE(compile(u"^b.c$", multiline));
  EXPECT_FALSE(matcher_.matchesAnywhere(subject));
  ASSERT_TRUE(compile(u"^b.c$", dotAll));
  EXPECT_FALSE(matcher_.matchesAnywhere(subject));
  ASSERT_TRUE(compile(u"^b$", multiline));
  EXPECT_TRUE(matcher_.matchesAnywhere(subject));
}

TEST_P(RegexMatchTest, WithoutAnyCrLfOnlyLfEndsALine) {
  ASSERT_TRUE(compile(u"a$", multiline));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"a\r\nb"));
  ASSERT_TRUE(compile(u"a\\r$", multiline));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"a\r\nb"));
  ASSERT_TRUE(compile(u"^b", multiline));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"a\rb"));
}

TEST_P(RegexMatchTest, AnyCrLfLetsCrLfAndCrEndALine) {
  ASSERT_TRUE(compile(u"a$", multiline | newlineAnyCrLf));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"a\r\nb"));
  ASSERT_TRUE(compile(u"^b", multiline | newlineAnyCrLf));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"a\rb"));
  // Without dotAll a dot does not match the CR of a line end either.
  ASSERT_TRUE(compile(u"a.", newlineAnyCrLf));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"a\r\n"));
}

TEST_P(RegexMatchTest, AnyCrLfCaretDollarFindsTheEmptyLine) {
  ASSERT_TRUE(compile(u"^$", multiline | newlineAnyCrLf));
  EXPECT_EQ(iterate(matcher_, u"a\r\n\r\nb"), (std::vector<Found>{{3, 0, u""}}));
}

TEST_P(RegexMatchTest, AnyCrLfEmptyMatchesStepOverACrLfAsOneCharacter) {
  // Between the CR and the LF there is neither a line start nor a line end.
  ASSERT_TRUE(compile(u"^", multiline | newlineAnyCrLf));
  EXPECT_EQ(iterate(matcher_, u"a\r\nb\r\n\r\nc"),
            (std::vector<Found>{{0, 0, u""}, {3, 0, u""}, {6, 0, u""}, {8, 0, u""}}));
  EXPECT_EQ(iterate(matcher_, u"\r\n\r\n").size(), 2u);
  ASSERT_TRUE(compile(u"x*", newlineAnyCrLf));
  EXPECT_EQ(iterate(matcher_, u"a\r\nb"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}, {3, 0, u""}}));
  // A lone CR and a lone LF are one character each.
  EXPECT_EQ(iterate(matcher_, u"\n\r").size(), 2u);
  // With LF line ends alone, CR and LF are two characters.
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"a\r\nb").size(), 4u);
}

TEST_P(RegexMatchTest, EmptyMatchesMoveOnOneCharacterAndStopAtTheEnd) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"ab"), (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  EXPECT_TRUE(iterate(matcher_, u"").empty());
  EXPECT_FALSE(matcher_.failed());
}

TEST_P(RegexMatchTest, EmptyAndNonEmptyMatchesFollowEachOther) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"axxb"),
            (std::vector<Found>{{0, 0, u""}, {1, 2, u"xx"}, {3, 0, u""}}));
}

TEST_P(RegexMatchTest, EmptyMatchesOverNonAsciiLetters) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"\u00e4\u4e2d"), (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  ASSERT_TRUE(compile(u"(?=\u00f6)"));
  EXPECT_EQ(iterate(matcher_, u"\u00e4\u00e4\u00f6"), (std::vector<Found>{{2, 0, u""}}));
}

TEST_P(RegexMatchTest, EmptyMatchesNeverLandInsideASurrogatePair) {
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"a\U0001F600b"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}, {3, 0, u""}}));
  EXPECT_EQ(iterate(matcher_, u"\U0001F600\U0001F601"),
            (std::vector<Found>{{0, 0, u""}, {2, 0, u""}}));
}

TEST_P(RegexMatchTest, AnEmptyMatchAheadOfTheStartIsReportedOnce) {
  ASSERT_TRUE(compile(u"(?=b)"));
  EXPECT_EQ(iterate(matcher_, u"aabab"), (std::vector<Found>{{2, 0, u""}, {4, 0, u""}}));
  // The one at the very end is found by an attempt that starts before it.
  ASSERT_TRUE(compile(u"\\b"));
  EXPECT_EQ(iterate(matcher_, u"  ab cd"),
            (std::vector<Found>{{2, 0, u""}, {4, 0, u""}, {5, 0, u""}, {7, 0, u""}}));
}

TEST_P(RegexMatchTest, NonEmptyMatchesContinueAtTheirEnd) {
  ASSERT_TRUE(compile(u"aa"));
  EXPECT_EQ(iterate(matcher_, u"aaaaa"), (std::vector<Found>{{0, 2, u"aa"}, {2, 2, u"aa"}}));
}

TEST_P(RegexMatchTest, StartAndLengthCountUtf16CodeUnits) {
  ASSERT_TRUE(compile(u"b.c"));
  EXPECT_EQ(iterate(matcher_, u"\U0001F600\U0001F600b\U0001F601c!"),
            (std::vector<Found>{{4, 4, u"b\U0001F601c"}}));
  ASSERT_TRUE(compile(u"\\x{1F601}+"));
  EXPECT_EQ(iterate(matcher_, u"\u00e9\U0001F601\U0001F601x"),
            (std::vector<Found>{{1, 4, u"\U0001F601\U0001F601"}}));
}

TEST_P(RegexMatchTest, IterationWorksOnItsOwnCopyOfTheSubject) {
  ASSERT_TRUE(compile(u"\\w+"));
  Text subject = u"one two";
  ASSERT_TRUE(matcher_.begin(subject));
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.start(), 0u);
  EXPECT_EQ(matcher_.length(), 3u);
  subject = u"x";
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.start(), 4u);
  EXPECT_EQ(matcher_.length(), 3u);
}

TEST_P(RegexMatchTest, NoFurtherMatchClearsTheCurrentMatch) {
  ASSERT_TRUE(compile(u"(b)"));
  ASSERT_TRUE(matcher_.begin(u"abc"));
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.group(1), u"b");
  EXPECT_FALSE(matcher_.next());
  EXPECT_FALSE(matcher_.failed());
  EXPECT_EQ(matcher_.group(1), u"");
  EXPECT_EQ(matcher_.start(), 0u);
  EXPECT_EQ(matcher_.length(), 0u);
  EXPECT_FALSE(matcher_.next());
}

TEST_P(RegexMatchTest, BeginMatchesStartsAgainFromTheBeginning) {
  ASSERT_TRUE(compile(u"\\d"));
  ASSERT_TRUE(matcher_.begin(u"1a2"));
  ASSERT_TRUE(matcher_.next());
  ASSERT_TRUE(matcher_.begin(u"34"));
  EXPECT_EQ(matcher_.length(), 0u);
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(current(matcher_, u"34"), u"3");
}

TEST_P(RegexMatchTest, GroupsGiveTheirTextOrNothing) {
  ASSERT_TRUE(compile(u"(a)|(b)(x)?"));
  ASSERT_TRUE(matcher_.begin(u"b"));
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.group(1), u"");  // did not take part
  EXPECT_EQ(matcher_.group(2), u"b");
  EXPECT_EQ(matcher_.group(3), u"");  // optional, not set
  EXPECT_EQ(matcher_.group(4), u"");
  EXPECT_EQ(matcher_.group(0), u"");
  EXPECT_EQ(matcher_.group(-1), u"");

  ASSERT_TRUE(compile(u"old(\\w+)"));
  ASSERT_TRUE(matcher_.begin(u"an oldword, oldest"));
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.group(1), u"word");
  EXPECT_EQ(matcher_.group(2), u"");
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.group(1), u"est");
}

TEST_P(RegexMatchTest, LoneSurrogatesAreMatchedLikeOtherCharacters) {
  const Text subject = u"ab\xDC80" u"cd\xD800";
  ASSERT_TRUE(compile(u"c"));
  EXPECT_EQ(iterate(matcher_, subject), (std::vector<Found>{{3, 1, u"c"}}));
  ASSERT_TRUE(compile(u"b.c"));
  EXPECT_EQ(iterate(matcher_, subject), (std::vector<Found>{{1, 3, u"b\xDC80" u"c"}}));
  ASSERT_TRUE(compile(u"[^x]+$"));
  EXPECT_EQ(texts(matcher_, subject), (std::vector<Text>{subject}));
  ASSERT_TRUE(compile(u"^.*\\.txt$"));
  EXPECT_TRUE(matcher_.matchesAnywhere(u"caf\xDCE9.txt"));
  ASSERT_TRUE(compile(u"x*"));
  EXPECT_EQ(iterate(matcher_, u"\xD800\xD800\xDC00"),
            (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
  EXPECT_FALSE(matcher_.failed());
}

// Bytes that are not valid in a file's encoding come in as escape units: a U+FFFD typed in
// the pattern, in any spelling, finds only a real U+FFFD, while patterns for "any
// character" or "not a letter" still take an escape unit as one character.
TEST_P(RegexMatchTest, TypedReplacementCharacterFindsOnlyARealOne) {
  const Text subject = u"caf\xDCE9 \uFFFD \xDC80";
  for (const Text pattern : {u"\uFFFD", u"\\x{FFFD}", u"[\uFFFD]", u"[b\\x{FFFD}]", u"[\\x{FFF0}-\\x{FFFE}]",
                             u"\\N{U+FFFD}"}) {
    ASSERT_TRUE(compile(pattern));
    EXPECT_EQ(iterate(matcher_, subject), (std::vector<Found>{{5, 1, u"\uFFFD"}})) << textToUtf8(pattern);
  }
  ASSERT_TRUE(compile(u"f."));
  EXPECT_EQ(texts(matcher_, subject), (std::vector<Text>{u"f\xDCE9"}));
  ASSERT_TRUE(compile(u"\\W+"));
  EXPECT_EQ(texts(matcher_, subject), (std::vector<Text>{u"\xDCE9 \uFFFD \xDC80"}));
  ASSERT_TRUE(compile(u"[^a-z ]", caseless));
  EXPECT_EQ(texts(matcher_, subject), (std::vector<Text>{u"\xDCE9", u"\uFFFD", u"\xDC80"}));
}

// Lone surrogates are looked for many units at a time; a pair or a lone one at any offset,
// also across the blocks of units looked at together, must be seen as it is.
TEST_P(RegexMatchTest, SurrogatesAtEveryOffsetOfALongSubject) {
  ASSERT_TRUE(compile(u"[^a]"));
  for (size_t k = 0; k < 20; ++k) {
    const Text before(k, u'a');
    const Text after(12, u'a');
    EXPECT_EQ(iterate(matcher_, before + u"\xDC80" + after), (std::vector<Found>{{k, 1, u"\xDC80"}})) << k;
    EXPECT_EQ(iterate(matcher_, before + u"\xD800" + after), (std::vector<Found>{{k, 1, u"\xD800"}})) << k;
    EXPECT_EQ(iterate(matcher_, before + u"\U0001F600" + after), (std::vector<Found>{{k, 2, u"\U0001F600"}})) << k;
  }
}

TEST_P(RegexMatchTest, RunawayBacktrackingEndsWithAnError) {
  ASSERT_TRUE(compile(u"(a+)+$"));
  const Text subject = Text(40, u'a') + u"b";
  ASSERT_TRUE(matcher_.begin(subject));
  EXPECT_FALSE(matcher_.next());
  EXPECT_TRUE(matcher_.failed());
  EXPECT_NE(matcher_.errorText().find(u"limit"), Text::npos);
  EXPECT_EQ(matcher_.length(), 0u);

  EXPECT_FALSE(matcher_.matchesAnywhere(subject));
  EXPECT_TRUE(matcher_.failed());

  // The next attempt that ends normally clears the error.
  EXPECT_TRUE(matcher_.matchesAnywhere(u"aaa"));
  EXPECT_FALSE(matcher_.failed());
  EXPECT_EQ(matcher_.errorText(), u"");
}

TEST_P(RegexMatchTest, DeepBacktrackingOnALongLineSucceeds) {
  ASSERT_TRUE(compile(u"(a|b)*c"));
  Text subject;
  for (int i = 0; i < 50000; ++i) subject += u"ab";
  subject += u"c";
  ASSERT_TRUE(matcher_.begin(subject));
  ASSERT_TRUE(matcher_.next());
  EXPECT_FALSE(matcher_.failed()) << std::string(matcher_.errorText().begin(),
                                                       matcher_.errorText().end());
  EXPECT_EQ(matcher_.length(), subject.size());
  EXPECT_EQ(matcher_.group(1), u"b");
}

TEST_P(RegexMatchTest, OneShotOperationsLeaveAnIterationAlone) {
  ASSERT_TRUE(compile(u"(\\w)\\w"));
  ASSERT_TRUE(matcher_.begin(u"ab cd"));
  ASSERT_TRUE(matcher_.next());
  EXPECT_TRUE(matcher_.matchesAnywhere(u"pq"));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"!"));
  EXPECT_EQ(matcher_.start(), 0u);
  EXPECT_EQ(matcher_.length(), 2u);
  EXPECT_EQ(matcher_.group(1), u"a");
  ASSERT_TRUE(matcher_.next());
  EXPECT_EQ(matcher_.start(), 3u);
  EXPECT_EQ(matcher_.group(1), u"c");
}

// Two matchers of one pattern, and matchers of two patterns, do not meet.
TEST_P(RegexMatchTest, MatchersAreIndependent) {
  ASSERT_TRUE(compile(u"b+"));
  Matcher other(pattern_);
  ASSERT_TRUE(other.hasPattern());
  ASSERT_TRUE(matcher_.begin(u"abbc"));
  ASSERT_TRUE(matcher_.next());
  ASSERT_TRUE(other.begin(u"bxbbb"));
  ASSERT_TRUE(other.next());
  EXPECT_EQ(matcher_.start(), 1u);
  EXPECT_EQ(matcher_.length(), 2u);
  ASSERT_TRUE(other.next());
  EXPECT_EQ(other.start(), 2u);
  EXPECT_EQ(other.length(), 3u);
  const CompiledPattern x = compilePattern(Text(GetParam()) + u"^x", 0);
  ASSERT_NE(x.pattern, nullptr);
  ASSERT_TRUE(other.use(x.pattern));
  EXPECT_FALSE(compilePattern(u"(", 0).pattern);
  EXPECT_EQ(matcher_.length(), 2u);
  EXPECT_TRUE(matcher_.matchesAnywhere(u"b"));
  EXPECT_FALSE(other.matchesAnywhere(u"b"));
  EXPECT_TRUE(other.matchesAnywhere(u"xb"));
  EXPECT_FALSE(matcher_.matchesAnywhere(u"x"));
}

INSTANTIATE_TEST_SUITE_P(RegexEngines, RegexMatchTest,
                         ::testing::Values(u"", u"(*NO_JIT)"),
                         [](const ::testing::TestParamInfo<const char16_t*>& info) {
                           return std::string(info.param[0] == 0 ? "Jit" : "Interpreter");
                         });

TEST(RegexCompileTest, ErrorGivesTheLibraryMessageWithNoPattern) {
  CompiledPattern compiled = compilePattern(u"(a", 0);
  EXPECT_EQ(compiled.pattern, nullptr);
  EXPECT_EQ(compiled.error, u"missing closing parenthesis");
  compiled = compilePattern(u"a{2,1}", 0);
  EXPECT_EQ(compiled.pattern, nullptr);
  EXPECT_FALSE(compiled.error.empty());
  compiled = compilePattern(u"a", 0);
  EXPECT_NE(compiled.pattern, nullptr);
  EXPECT_EQ(compiled.error, u"");
}

// A matcher without a pattern (none given, or one that did not compile) matches nothing
// and reports no error.
TEST(RegexCompileTest, MatcherWithoutAPatternMatchesNothing) {
  Matcher matcher(compilePattern(u"a", 0).pattern);
  ASSERT_TRUE(matcher.begin(u"a"));
  ASSERT_TRUE(matcher.next());
  EXPECT_FALSE(matcher.use(compilePattern(u"[a", 0).pattern));

  EXPECT_FALSE(matcher.hasPattern());
  EXPECT_EQ(matcher.start(), 0u);
  EXPECT_EQ(matcher.length(), 0u);
  EXPECT_EQ(matcher.group(1), u"");
  EXPECT_FALSE(matcher.next());
  EXPECT_FALSE(matcher.begin(u"a"));
  EXPECT_FALSE(matcher.next());
  EXPECT_FALSE(matcher.matchesAnywhere(u"a"));
  EXPECT_FALSE(matcher.failed());
  EXPECT_EQ(matcher.errorText(), u"");

  Matcher none;
  EXPECT_FALSE(none.hasPattern());
  EXPECT_FALSE(none.begin(u"a"));
  EXPECT_FALSE(none.next());
  EXPECT_FALSE(none.matchesAnywhere(u"a"));
  EXPECT_FALSE(none.failed());
}

TEST(RegexCompileTest, UsingAPatternDiscardsTheIteration) {
  const std::shared_ptr<const Pattern> a = compilePattern(u"a", 0).pattern;
  ASSERT_NE(a, nullptr);
  Matcher matcher(a);
  ASSERT_TRUE(matcher.begin(u"aaa"));
  ASSERT_TRUE(matcher.next());
  ASSERT_TRUE(matcher.use(a));
  EXPECT_EQ(matcher.length(), 0u);
  EXPECT_FALSE(matcher.next());
  ASSERT_TRUE(matcher.begin(u"aaa"));
  ASSERT_TRUE(matcher.next());
  ASSERT_TRUE(matcher.use(compilePattern(u"b", 0).pattern));
  EXPECT_FALSE(matcher.next());
  EXPECT_TRUE(matcher.matchesAnywhere(u"ab"));
}

// The pattern lives as long as a matcher or anyone else holds it.
TEST(RegexCompileTest, AMatcherKeepsItsPattern) {
  Matcher matcher;
  {
    std::shared_ptr<const Pattern> pattern = compilePattern(u"(x)(y)?", 0).pattern;
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->groupCount(), 2u);
    ASSERT_TRUE(matcher.use(std::move(pattern)));
  }
  ASSERT_TRUE(matcher.begin(u"axb"));
  ASSERT_TRUE(matcher.next());
  EXPECT_EQ(matcher.start(), 1u);
  EXPECT_EQ(matcher.group(1), u"x");
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
  const CompiledPattern compiled = compilePattern(u"a\xDC80", 0);
  EXPECT_EQ(compiled.pattern, nullptr);
  EXPECT_FALSE(compiled.error.empty());
  Matcher matcher(compiled.pattern);
  EXPECT_FALSE(matcher.matchesAnywhere(u"a\xDC80"));
}

TEST(RegexCompileTest, EmptyPatternMatchesEmptyAtEveryCharacter) {
  Matcher matcher(compilePattern(u"", 0).pattern);
  ASSERT_TRUE(matcher.hasPattern());
  EXPECT_EQ(iterate(matcher, u"ab"), (std::vector<Found>{{0, 0, u""}, {1, 0, u""}}));
}

// A compiled pattern is matched on several threads at once, each with a matcher and an
// iteration of its own, while another pattern is compiled and matched meanwhile.
TEST(RegexThreadTest, ThreadsMatchOnePatternEachWithItsOwnMatcher) {
    const std::shared_ptr<const Pattern> pattern = compilePattern(u"a(\\d+)", 0).pattern;
    ASSERT_NE(pattern, nullptr);
    std::vector<std::vector<Text>> found(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < found.size(); ++t) {
        threads.emplace_back([&found, &pattern, t] {
            Text subject;
            for (int i = 0; i < 2000; ++i) subject += u"a" + textFromUtf8(std::to_string(i * 4 + static_cast<int>(t))) + u" ";
            Matcher matcher(pattern);
            for (int round = 0; round < 3; ++round) {
                found[t].clear();
                if (!matcher.begin(subject)) return;
                while (matcher.next()) found[t].push_back(matcher.group(1));
            }
        });
    }
    // Compiling is no longer something to do while no thread matches.
    const std::shared_ptr<const Pattern> other = compilePattern(u"b", 0).pattern;
    ASSERT_NE(other, nullptr);
    Matcher matcher(other);
    EXPECT_FALSE(matcher.matchesAnywhere(u"a1"));
    EXPECT_TRUE(matcher.matchesAnywhere(u"ab"));
    for (std::thread& thread : threads) thread.join();
    for (size_t t = 0; t < found.size(); ++t) {
        ASSERT_EQ(found[t].size(), 2000u) << t;
        for (int i = 0; i < 2000; i += 499) EXPECT_EQ(found[t][i], textFromUtf8(std::to_string(i * 4 + static_cast<int>(t))));
    }
}

}  // namespace
