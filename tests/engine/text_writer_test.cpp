// Writing text files: the bytes of each format, marks, long texts, and failures reported.

#include "engine/text_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "engine/text_file.h"
#include "tests/engine/text_file_fixture.h"

namespace {

using TextWriterTest = testing_support::TextFileTest;

using namespace testing_support;

TEST_F(TextWriterTest, WrittenBytesForEachFormat) {
  EXPECT_EQ(written({u"x"}, TextFormat::utf16le), bytesOf({0x78, 0, 13, 0, 10, 0}));
  EXPECT_EQ(written({u"x"}, TextFormat::utf8), "x\r\n");
  EXPECT_EQ(written({u"x"}, TextFormat::ansi), "x\r\n");
  EXPECT_EQ(written({u""}, TextFormat::utf16le), bytesOf({13, 0, 10, 0}));
  EXPECT_EQ(written({u"", u""}, TextFormat::ansi), "\r\n\r\n");
  EXPECT_EQ(written({u"\u00E9\U0001F600"}, TextFormat::utf8), "\xC3\xA9\xF0\x9F\x98\x80\r\n");
  EXPECT_EQ(written({u"\u00E9\U0001F600"}, TextFormat::utf16le),
            bytesOf({0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 13, 0, 10, 0}));
  EXPECT_EQ(written({u"a\xD800"}, TextFormat::utf8), "a?\r\n");
  EXPECT_EQ(written({}, TextFormat::ansi), "");
}

TEST_F(TextWriterTest, MarksWrittenForEachFormat) {
  EXPECT_EQ(written({u"x"}, TextFormat::utf8, true), "\xEF\xBB\xBFx\r\n");
  EXPECT_EQ(written({u"x"}, TextFormat::utf16le, true), bytesOf({0xFF, 0xFE, 'x', 0, 13, 0, 10, 0}));
  EXPECT_EQ(written({u"x"}, TextFormat::ansi, true), "x\r\n");
}

TEST_F(TextWriterTest, ManyLinesWriteAndReadBackInEveryFormat) {
  Lines lines;
  for (int i = 0; i < 30000; ++i) lines.push_back(u"line " + numberToText(i) + u" \u00E9\u20AC");
  for (TextFormat format : {TextFormat::ansi, TextFormat::utf8, TextFormat::utf16le}) {
    auto file = writerAt(at("many"));
    ASSERT_NE(file, nullptr);
    writeMark(*file, format);
    for (const auto& line : lines) writeLine(*file, line, format);
    ASSERT_TRUE(closeFile(*file));
    TextFormat detected = TextFormat::utf32be;
    EXPECT_EQ(linesOf("many", &detected), lines);
    EXPECT_EQ(detected, format);
  }
}

TEST_F(TextWriterTest, ReleasingAnUnclosedFileStillWritesItsLines) {
  {
    auto file = writerAt(at("f"));
    ASSERT_NE(file, nullptr);
    writeLine(*file, u"kept", TextFormat::utf8);
  }
  EXPECT_EQ(read("f"), "kept\r\n");
}

TEST_F(TextWriterTest, WriteFailureIsReportedByClose) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto file = writerAt("/dev/full");
  ASSERT_NE(file, nullptr);
  writeLine(*file, u"cannot be stored", TextFormat::ansi);
  EXPECT_FALSE(closeFile(*file));

  // Also when the buffer had to be flushed before the close.
  file = writerAt("/dev/full");
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < 20000; ++i) writeLine(*file, u"0123456789", TextFormat::utf16le);
  EXPECT_FALSE(closeFile(*file));
}

// A long text is encoded a part at a time: a surrogate pair where a part ends, and an
// escape unit after it, are written as a whole text's would be.
TEST_F(TextWriterTest, LongTextIsWrittenAsOneWhateverItsLength) {
  for (size_t pair = 16380; pair <= 16386; ++pair) {
    Text text(70000, u'a');
    text.replace(pair, 3, u"\U0001F600\xDC80");
    text.replace(pair + 20000, 2, u"\U0001F601");
    for (const TextFormat format : {TextFormat::utf8, TextFormat::utf16le}) {
      auto file = writerAt(at("f"));
      ASSERT_NE(file, nullptr);
      writeText(*file, text, format);
      ASSERT_TRUE(closeFile(*file));
      std::string expected;
      if (format == TextFormat::utf8) {
        expected = textToUtf8(text);
      } else {
        for (const char16_t unit : text) expected += bytesOf({unit & 0xFF, unit >> 8});
      }
      EXPECT_TRUE(read("f") == expected) << "pair at " << pair;
    }
  }
}

}  // namespace
