// The "ansi" character set: bytes that are not valid in it survive a read and a write, and
// characters it lacks are written as "?".

#include "engine/text_codec.h"

#include <gtest/gtest.h>

#include <random>
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

// A single-byte set's table decodes and encodes exactly as iconv does, byte for byte:
// bytes the set lacks, characters it lacks, bytes that share a character; sets of several
// bytes per character or with shift states get no table.
TEST(SingleByteTableTest, ConvertsAsIconvDoesAndOnlyForSingleByteSets) {
  for (const char* set : {"UTF-8", "CP932", "ISO-2022-JP", "UTF-16LE", "BIG5"})
    EXPECT_EQ(SingleByteTable::make(set), nullptr) << set;
  std::mt19937 random(3);
  for (const char* set : {"ISO-8859-1", "CP1252", "CP1251", "KOI8-R", "ISO-8859-7", "CP437", "CP850"}) {
    const std::unique_ptr<const SingleByteTable> table = SingleByteTable::make(set);
    ASSERT_NE(table, nullptr) << set;
    AnsiCodec iconvCodec(set);
    AnsiCodec tableCodec(set);
    tableCodec.useTable(table.get());
    for (int round = 0; round < 300; ++round) {
      std::string bytes(random() % 64, '\0');
      for (char& byte : bytes) byte = static_cast<char>(random() % 256);
      Text byIconv;
      Text byTable;
      EXPECT_EQ(tableCodec.decode(bytes, byTable), iconvCodec.decode(bytes, byIconv)) << set;
      ASSERT_EQ(byTable, byIconv) << set << " round " << round;
      // Encoding: the text read, with characters the set may lack and escapes put in.
      Text text = byIconv;
      const char16_t others[] = {u'\u20AC', u'\u0416', u'\u00E9', char16_t{0xDC85}, u'\u4E2D', u'?'};
      for (int i = 0; i < 3; ++i) text.insert(text.begin() + random() % (text.size() + 1), others[random() % 6]);
      std::string encodedByIconv;
      std::string encodedByTable = "kept";
      iconvCodec.encode(text, encodedByIconv);
      tableCodec.encode(text, encodedByTable);
      ASSERT_EQ(encodedByTable, "kept" + encodedByIconv) << set << " round " << round;
    }
  }
}

}  // namespace
