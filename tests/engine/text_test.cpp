#include "engine/text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <limits>
#include <random>
#include <string>
#include <sys/mman.h>

namespace {

// Straightforward references for the randomised comparisons below.
int32_t referenceFind(const Text& text, const Text& pattern, int32_t start) {
  if (text.empty() || pattern.empty()) return 0;
  if (start < 1) start = 1;
  for (size_t i = static_cast<size_t>(start) - 1; i + pattern.size() <= text.size(); ++i)
    if (text.compare(i, pattern.size(), pattern) == 0) return static_cast<int32_t>(i + 1);
  return 0;
}

Text referenceReplace(const Text& text, const Text& find, const Text& replacement) {
  if (find.empty()) return text;
  Text out;
  size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, find.size(), find) == 0) {
      out += replacement;
      i += find.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

Text randomText(std::mt19937& random, size_t maxLength, const Text& alphabet) {
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<size_t> pick(0, alphabet.size() - 1);
  Text text(length(random), u'\0');
  for (auto& unit : text) unit = alphabet[pick(random)];
  return text;
}

// Runs a test body with LC_ALL set to a value, restoring the environment afterwards.
class ScopedLcAll {
 public:
  explicit ScopedLcAll(const char* value) {
    const char* old = std::getenv("LC_ALL");
    hadOld_ = old != nullptr;
    if (hadOld_) old_ = old;
    setenv("LC_ALL", value, 1);
  }
  ~ScopedLcAll() {
    if (hadOld_) setenv("LC_ALL", old_.c_str(), 1);
    else unsetenv("LC_ALL");
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

}  // namespace

TEST(TextLengthTest, CountsCodeUnitsSoAPairCountsTwice) {
  EXPECT_EQ(textLength(u""), 0);
  EXPECT_EQ(textLength(u"abc"), 3);
  EXPECT_EQ(textLength(u"a\U0001F600"), 3);
}

TEST(FindTextTest, IgnoreCaseFindsEarlierLetterThanMatchCase) {
  EXPECT_EQ(findText(u"abcABC", u"B", 1, 1), 2);
  EXPECT_EQ(findText(u"abcABC", u"B", 1, 0), 5);
  EXPECT_EQ(findText(u"abcABC", u"b", 3, 1), 5);
  EXPECT_EQ(findText(u"abcABC", u"CaB", 1, 1), 3);
  EXPECT_EQ(findText(u"abcABC", u"CaB", 1, 0), 0);
}

TEST(FindTextTest, StartIsClampedAndBoundsGiveZero) {
  EXPECT_EQ(findText(u"abc", u"c", 4, 0), 0);
  EXPECT_EQ(findText(u"abc", u"c", 3, 0), 3);
  EXPECT_EQ(findText(u"abc", u"a", 0, 0), 1);
  EXPECT_EQ(findText(u"abc", u"a", -7, 1), 1);
  EXPECT_EQ(findText(u"abc", u"a", 2, 0), 0);
  EXPECT_EQ(findText(u"abc", u"abcd", 1, 0), 0);
  EXPECT_EQ(findText(u"abc", u"bc", std::numeric_limits<int32_t>::max(), 0), 0);
}

TEST(FindTextTest, EmptyTextOrPatternGivesZero) {
  EXPECT_EQ(findText(u"", u"a", 1, 0), 0);
  EXPECT_EQ(findText(u"abc", u"", 1, 0), 0);
  EXPECT_EQ(findText(u"", u"", 1, 1), 0);
}

TEST(FindTextTest, FindsAfterFalseStartsThatShareAPrefix) {
  EXPECT_EQ(findText(u"aaab", u"aab", 1, 0), 2);
  EXPECT_EQ(findText(u"abababc", u"ababc", 1, 0), 3);
  EXPECT_EQ(findText(u"xxABABAC", u"abac", 1, 1), 5);
  EXPECT_EQ(findText(u"abc abd", u"abd", 1, 0), 5);
}

TEST(FindTextTest, MatchesReferenceOnRandomTexts) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    const Text text = randomText(random, 40, u"ab");
    Text pattern = randomText(random, 5, u"ab");
    const int32_t start = static_cast<int32_t>(random() % 45) - 2;
    ASSERT_EQ(findText(text, pattern, start, 0), referenceFind(text, pattern, start))
        << "round " << round;
  }
}

// Units that share a byte with "a" must not be taken for it, wherever they fall in the
// blocks of units the search looks at together.
TEST(FindTextTest, MatchesReferenceOnLongTextsOfUnitsThatShareBytes) {
  std::mt19937 random(2024);
  const Text alphabet = u"a\uFF61\u6100b";
  for (int round = 0; round < 3000; ++round) {
    const Text text = randomText(random, 100, alphabet);
    const Text pattern = randomText(random, 6, alphabet);
    ASSERT_EQ(findText(text, pattern, 1, 0), referenceFind(text, pattern, 1)) << "round " << round;
    ASSERT_EQ(replaceAll(text, pattern, u"x"), referenceReplace(text, pattern, u"x")) << "round " << round;
  }
}

// The replacement that works within the text's own storage gives replaceAll's result.
// Texts of 2^31 units and more are searched to their end, with and without letter case.
// The text is a view of untouched anonymous memory (the kernel's zero page), so it costs
// address space, not memory.
TEST(FindTextTest, FindsOccurrencesBeyondThe32BitRange) {
  const size_t units = (size_t{1} << 31) + 64;
  const size_t bytes = units * sizeof(char16_t);
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  char16_t* const data = static_cast<char16_t*>(memory);
  const size_t at = units - 20;
  data[at] = u'A';
  data[at + 1] = u'b';
  const TextView text(data, units);
  EXPECT_EQ(findTextFrom(text, u"Ab", 0, 0), at);
  EXPECT_EQ(findTextFrom(text, u"aB", 0, 1), at);
  EXPECT_EQ(findTextFrom(text, u"ab", 0, 0), TextView::npos);
  EXPECT_EQ(findTextFrom(text, u"Ab", at + 1, 0), TextView::npos);
  munmap(memory, bytes);
}

TEST(ReplaceAllTest, InPlaceMatchesReferenceOnRandomTexts) {
  std::mt19937 random(31337);
  for (int round = 0; round < 3000; ++round) {
    const Text original = randomText(random, 60, u"aab");
    const Text find = randomText(random, 4, u"ab");
    const Text replacement = randomText(random, find.size(), u"abc");
    Text text = original;
    const bool changed = replaceAllInPlace(text, find, replacement);
    ASSERT_EQ(text, referenceReplace(original, find, replacement)) << "round " << round;
    ASSERT_EQ(changed, text != original || referenceFind(original, find, 1) != 0) << "round " << round;
  }
  Text text = u"abc";
  EXPECT_FALSE(replaceAllInPlace(text, u"b", u"xy"));
  EXPECT_EQ(text, u"abc");
}

TEST(FindTextTest, IgnoreCaseUsesTheLocaleMappingBeyondAscii) {
  useUtf8Locale();
  EXPECT_EQ(findText(u"caf\u00E9", u"\u00C9", 1, 1), 4);
  EXPECT_EQ(findText(u"caf\u00E9", u"\u00C9", 1, 0), 0);
  EXPECT_EQ(findText(u"\u0414\u043E\u043C", u"\u0434\u041E\u041C", 1, 1), 1);
}

TEST(FindTextTest, SurrogatesCompareAsTheyAre) {
  useUtf8Locale();
  EXPECT_EQ(findText(u"x\U0001F600y", u"\U0001F600", 1, 1), 2);
  EXPECT_EQ(findText(u"x\U0001F600y", u"\U0001F601", 1, 1), 0);
}

TEST(ReplaceAllTest, DocumentedExamples) {
  EXPECT_EQ(replaceAll(u"a.a.a", u".", u""), u"aaa");
  EXPECT_EQ(replaceAll(u"x", u"", u"y"), u"x");
  EXPECT_EQ(replaceAll(u"Aa", u"a", u"b"), u"Ab");
  EXPECT_EQ(replaceAll(u"aaa", u"aa", u"b"), u"ba");
}

TEST(ReplaceAllTest, InsertedTextIsNeverScannedAgain) {
  EXPECT_EQ(replaceAll(u"aaa", u"a", u"aa"), u"aaaaaa");
  EXPECT_EQ(replaceAll(u"ab", u"ab", u"abab"), u"abab");
  EXPECT_EQ(replaceAll(u"xay", u"a", u"xay"), u"xxayy");
}

TEST(ReplaceAllTest, EdgesOfTheText) {
  EXPECT_EQ(replaceAll(u"", u"a", u"b"), u"");
  EXPECT_EQ(replaceAll(u"abc", u"abc", u""), u"");
  EXPECT_EQ(replaceAll(u"abcab", u"ab", u"<>"), u"<>c<>");
  EXPECT_EQ(replaceAll(u"abc", u"abcd", u"x"), u"abc");
  EXPECT_EQ(replaceAll(u"abc", u"x", u"y"), u"abc");
}

TEST(ReplaceAllTest, MatchesReferenceOnRandomTexts) {
  std::mt19937 random(777);
  for (int round = 0; round < 3000; ++round) {
    const Text text = randomText(random, 40, u"aab");
    const Text find = randomText(random, 4, u"ab");
    const Text replacement = randomText(random, 3, u"abc");
    ASSERT_EQ(replaceAll(text, find, replacement), referenceReplace(text, find, replacement))
        << "round " << round;
  }
}

TEST(LowerCaseTest, FollowsTheUtf8LocaleOneUnitAtATime) {
  lowerCaseUnit(u'A');  // the table exists before the locale changes
  useUtf8Locale();
  EXPECT_EQ(lowerCaseUnit(u'A'), u'a');
  EXPECT_EQ(lowerCaseUnit(u'\u00C9'), u'\u00E9');
  EXPECT_EQ(lowerCaseUnit(u'\u0414'), u'\u0434');
  EXPECT_EQ(lowerCaseUnit(u'7'), u'7');
  EXPECT_EQ(lowerCaseUnit(u'\xD83D'), u'\xD83D');
  EXPECT_EQ(lowerCaseUnit(u'\xDC00'), u'\xDC00');
  EXPECT_EQ(lowerCase(u"Caf\u00C9 \u0414OM \U0001F600"), u"caf\u00E9 \u0434om \U0001F600");
  EXPECT_EQ(lowerCase(u""), u"");
}

TEST(LocaleTest, FallsBackToCUtf8WhenTheEnvironmentNamesNoUtf8Locale) {
  {
    ScopedLcAll plain("C");
    useUtf8Locale();
    EXPECT_TRUE(isUtf8Codeset(nl_langinfo(CODESET)));
    EXPECT_STREQ(nl_langinfo(CODESET), "UTF-8");
    EXPECT_EQ(lowerCaseUnit(u'\u00C9'), u'\u00E9');
  }
  useUtf8Locale();
}

TEST(LocaleTest, CodesetNamesTreatedAsUtf8) {
  EXPECT_TRUE(isUtf8Codeset("UTF-8"));
  EXPECT_TRUE(isUtf8Codeset("utf8"));
  EXPECT_TRUE(isUtf8Codeset("ANSI_X3.4-1968"));
  EXPECT_TRUE(isUtf8Codeset(""));
  EXPECT_FALSE(isUtf8Codeset("ISO-8859-1"));
  EXPECT_FALSE(isUtf8Codeset("CP1251"));
}

TEST(FileNamePartTest, NameWithAndWithoutExtension) {
  EXPECT_EQ(fileNamePart(u"C:\\x\\y.txt", true), u"y");
  EXPECT_EQ(fileNamePart(u"C:\\x\\y.txt", false), u"y.txt");
  EXPECT_EQ(fileNamePart(u"/srv/www/index.html", true), u"index");
  EXPECT_EQ(fileNamePart(u"a.b.txt", true), u"a.b");
  EXPECT_EQ(fileNamePart(u"plain", true), u"plain");
  EXPECT_EQ(fileNamePart(u"dir/", false), u"");
}

TEST(FileNamePartTest, DotsAndSpacesThatAreNoExtension) {
  EXPECT_EQ(fileNamePart(u"file.", true), u"file.");
  EXPECT_EQ(fileNamePart(u".profile", true), u".profile");
  EXPECT_EQ(fileNamePart(u"/home/me/.profile", true), u".profile");
  EXPECT_EQ(fileNamePart(u"x.y z", true), u"x.y z");
  EXPECT_EQ(fileNamePart(u"my file.txt", true), u"my file");
  EXPECT_EQ(fileNamePart(u"..", true), u"..");
}

TEST(FileNamePartTest, QuotesAroundThePath) {
  EXPECT_EQ(fileNamePart(u"\"C:\\my dir\\page.htm\"", false), u"page.htm");
  EXPECT_EQ(fileNamePart(u"\"C:\\my dir\\page.htm\"", true), u"page");
  EXPECT_EQ(fileNamePart(u"\"page.htm\" rest", true), u"page");
}

TEST(ExtensionPartTest, DocumentedExamples) {
  EXPECT_EQ(extensionPart(u"C:\\dir.v2\\readme"), u"");
  EXPECT_EQ(extensionPart(u"C:\\x\\.htaccess"), u"");
  EXPECT_EQ(extensionPart(u"page.htm"), u"htm");
  EXPECT_EQ(extensionPart(u"Page.HTML"), u"HTML");
}

TEST(ExtensionPartTest, DotsSpacesSeparatorsAndQuotes) {
  EXPECT_EQ(extensionPart(u"/srv/dir.v2/readme"), u"");
  EXPECT_EQ(extensionPart(u"/home/me/.bashrc"), u"");
  EXPECT_EQ(extensionPart(u".profile"), u"");
  EXPECT_EQ(extensionPart(u"a.b.txt"), u"txt");
  EXPECT_EQ(extensionPart(u"my file.txt"), u"txt");
  EXPECT_EQ(extensionPart(u"my.file txt"), u"");
  EXPECT_EQ(extensionPart(u"name."), u"");
  EXPECT_EQ(extensionPart(u"\"C:\\a b\\page.htm\""), u"htm");
  EXPECT_EQ(extensionPart(u""), u"");
}

TEST(NumberToTextTest, DecimalWithSignAndNoGrouping) {
  EXPECT_EQ(numberToText(0), u"0");
  EXPECT_EQ(numberToText(1234567), u"1234567");
  EXPECT_EQ(numberToText(-42), u"-42");
  EXPECT_EQ(numberToText(std::numeric_limits<int64_t>::max()), u"9223372036854775807");
  EXPECT_EQ(numberToText(std::numeric_limits<int64_t>::min()), u"-9223372036854775808");
}

TEST(TextToNumberTest, DecimalHexAndBinary) {
  EXPECT_EQ(textToNumber(u"42"), 42);
  EXPECT_EQ(textToNumber(u" \t -17xyz"), -17);
  EXPECT_EQ(textToNumber(u"+8"), 8);
  EXPECT_EQ(textToNumber(u"$1F"), 31);
  EXPECT_EQ(textToNumber(u"$ff"), 255);
  EXPECT_EQ(textToNumber(u"-$10"), -16);
  EXPECT_EQ(textToNumber(u"%101"), 5);
  EXPECT_EQ(textToNumber(u"%1021"), 2);
  EXPECT_EQ(textToNumber(u"12 34"), 12);
}

TEST(TextToNumberTest, NonNumericTextsGiveZero) {
  EXPECT_EQ(textToNumber(u""), 0);
  EXPECT_EQ(textToNumber(u"abc"), 0);
  EXPECT_EQ(textToNumber(u"$"), 0);
  EXPECT_EQ(textToNumber(u"%"), 0);
  EXPECT_EQ(textToNumber(u"- 5"), 0);
  EXPECT_EQ(textToNumber(u"+-5"), 0);
  EXPECT_EQ(textToNumber(u"$g"), 0);
}

TEST(TextToNumberTest, ReadsBackEveryNumberItWrites) {
  for (int64_t n : {int64_t{0}, int64_t{-1}, int64_t{99999}, std::numeric_limits<int64_t>::max(),
                    std::numeric_limits<int64_t>::min()})
    EXPECT_EQ(textToNumber(numberToText(n)), n);
}

TEST(TextToNumberTest, OutOfRangeDecimalStopsAtTheLimitsAndHexKeepsLowBits) {
  EXPECT_EQ(textToNumber(u"99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(textToNumber(u"-99999999999999999999"), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(textToNumber(u"$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(textToNumber(u"$1FFFFFFFFFFFFFFFF"), -1);
}

TEST(Utf8Test, DecodesValidSequencesOfEveryLength) {
  EXPECT_EQ(textFromUtf8("plain ASCII text"), u"plain ASCII text");
  EXPECT_EQ(textFromUtf8("caf\xC3\xA9"), u"caf\u00E9");
  EXPECT_EQ(textFromUtf8("\xE2\x82\xAC"), u"\u20AC");
  EXPECT_EQ(textFromUtf8("\xF0\x9F\x98\x80!"), u"\U0001F600!");
  EXPECT_EQ(textFromUtf8("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(textFromUtf8(std::string_view("a\0b", 3)), Text(u"a\0b", 3));
  EXPECT_EQ(textFromUtf8(""), u"");
}

TEST(Utf8Test, InvalidBytesBecomeEscapeUnits) {
  // A lone continuation byte, a lead byte without continuation, truncated sequences.
  EXPECT_EQ(textFromUtf8("\x80"), u"\xDC80");
  EXPECT_EQ(textFromUtf8("\xE9t\xE9"), u"\xDCE9t\xDCE9");
  EXPECT_EQ(textFromUtf8("\xE2\x82"), u"\xDCE2\xDC82");
  EXPECT_EQ(textFromUtf8("\xF0\x9F\x98"), u"\xDCF0\xDC9F\xDC98");
  // Overlong forms.
  EXPECT_EQ(textFromUtf8("\xC0\x80"), u"\xDCC0\xDC80");
  EXPECT_EQ(textFromUtf8("\xC1\xBF"), u"\xDCC1\xDCBF");
  EXPECT_EQ(textFromUtf8("\xE0\x80\xAF"), u"\xDCE0\xDC80\xDCAF");
  EXPECT_EQ(textFromUtf8("\xF0\x8F\xBF\xBF"), u"\xDCF0\xDC8F\xDCBF\xDCBF");
  // An encoded surrogate and a code point beyond U+10FFFF.
  EXPECT_EQ(textFromUtf8("\xED\xA0\x80"), u"\xDCED\xDCA0\xDC80");
  EXPECT_EQ(textFromUtf8("\xF4\x90\x80\x80"), u"\xDCF4\xDC90\xDC80\xDC80");
  EXPECT_EQ(textFromUtf8("\xF5\xFF"), u"\xDCF5\xDCFF");
  // A valid sequence right after an invalid byte is still decoded.
  EXPECT_EQ(textFromUtf8("\xC3\xC3\xA9"), u"\xDCC3\u00E9");
}

TEST(Utf8Test, EncodesPairsEscapesAndLoneSurrogates) {
  EXPECT_EQ(textToUtf8(u"caf\u00E9 \u20AC \U0001F600"), "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  EXPECT_EQ(textToUtf8(u"\xDC80\xDCFF"), "\x80\xFF");
  EXPECT_EQ(textToUtf8(u"a\xD83D"), "a?");
  EXPECT_EQ(textToUtf8(u"\xD83Dz"), "?z");
  EXPECT_EQ(textToUtf8(u"\xDC41"), "?");
  EXPECT_EQ(textToUtf8(u"\xDE00"), "?");
  EXPECT_EQ(textToUtf8(u""), "");
}

TEST(Utf8Test, AnyBytesSurviveARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(textToUtf8(textFromUtf8(all)), all);

  std::mt19937 random(99);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 40, '\0');
    for (auto& byte : bytes) {
      // Mostly bytes that make UTF-8 sequences, so valid and broken ones mix.
      const unsigned pick = random() % 4;
      byte = static_cast<char>(pick == 0 ? random() % 128 : 0x80 + random() % 128);
    }
    ASSERT_EQ(textToUtf8(textFromUtf8(bytes)), bytes) << "round " << round;
  }
}

TEST(Utf8Test, TextsWithoutLoneSurrogatesSurviveARoundTrip) {
  std::mt19937 random(4242);
  const char32_t ranges[][2] = {{0x20, 0x7E}, {0x80, 0x7FF}, {0x800, 0xD7FF}, {0xE000, 0xFFFF},
                                {0x10000, 0x10FFFF}};
  for (int round = 0; round < 2000; ++round) {
    Text text;
    const size_t count = random() % 30;
    for (size_t i = 0; i < count; ++i) {
      const auto& range = ranges[random() % 5];
      const char32_t cp = range[0] + random() % (range[1] - range[0] + 1);
      if (cp >= 0x10000) {
        text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
        text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      } else {
        text += static_cast<char16_t>(cp);
      }
    }
    ASSERT_EQ(textFromUtf8(textToUtf8(text)), text) << "round " << round;
  }
}

// ASCII is converted many units at a time; every length of an ASCII run before a longer
// character must give the same as one character at a time.
TEST(Utf8Test, AsciiRunsOfEveryLengthBeforeOtherCharacters) {
  for (size_t run = 0; run <= 40; ++run) {
    const std::string ascii(run, 'q');
    const std::string bytes = ascii + "\xC3\xA9" + ascii + "\xFF" + ascii;
    const Text text = Text(run, u'q') + u"\u00E9" + Text(run, u'q') + u"\xDCFF" + Text(run, u'q');
    ASSERT_EQ(textFromUtf8(bytes), text) << run;
    ASSERT_EQ(textToUtf8(text), bytes) << run;
  }
}

TEST(Utf8Test, AppendingKeepsWhatIsThere) {
  Text text = u"ab";
  appendTextFromUtf8("c\xC3\xA9", text);
  EXPECT_EQ(text, u"abc\u00E9");
  std::string bytes = "x";
  appendTextToUtf8(u"\u00E9", bytes);
  EXPECT_EQ(bytes, "x\xC3\xA9");
}
