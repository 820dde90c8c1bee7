// The "ansi" character set: bytes that are not valid in it survive a read and a write, and
// characters it lacks are written as "?".

#include "engine/text_codec.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/text_file.h"
#include "tests/engine/text_file_fixture.h"

namespace {

using TextCodecTest = testing_support::TextFileTest;

using namespace testing_support;

TEST_F(TextCodecTest, InvalidUtf8BytesSurviveReadAndWriteBack) {
  std::string bytes;
  for (int b = 0x80; b <= 0xFF; ++b) bytes.push_back(static_cast<char>(b));
  const std::string original = "caf\xC3\xA9 " + bytes + "\r\n" + bytes + "\xC3\r\n";
  write("f", original);
  TextFormat format = TextFormat::utf8;
  const Lines lines = linesOf("f", &format);
  ASSERT_EQ(format, TextFormat::ansi);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 5), u"caf\u00E9 ");
  EXPECT_EQ(lines[0][5], u'\xDC80');
  EXPECT_EQ(written(lines, TextFormat::ansi), original);
  EXPECT_EQ(written(lines, TextFormat::utf8), original);
}

TEST_F(TextCodecTest, AnsiInAnotherCharacterSetIsLossless) {
  charset_ = "CP1252";
  // E9 is é and 80 is € in CP1252; 81 has no character there and must survive as it is.
  const std::string original = "caf\xE9 \x80 \x81 end\r\n";
  write("f", original);
  const Lines lines = linesOf("f");
  EXPECT_EQ(lines, (Lines{u"caf\u00E9 \u20AC \xDC81 end"}));
  EXPECT_EQ(written(lines, TextFormat::ansi), original);
  // utf8 files are not affected by the ansi character set.
  EXPECT_EQ(written(lines, TextFormat::utf8), "caf\xC3\xA9 \xE2\x82\xAC \x81 end\r\n");
}

TEST_F(TextCodecTest, CharactersTheAnsiSetLacksAreWrittenAsQuestionMarks) {
  charset_ = "CP1252";
  EXPECT_EQ(written({u"\u03A9 \U0001F600 \xD800 \u00E9"}, TextFormat::ansi), "? ? ? \xE9\r\n");
}

}  // namespace
