// Reading text files: marks, line ends, units across reads, flags, and the whole-file
// reader the run uses giving what the buffered reader gives.

#include "engine/text_reader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/text_file.h"
#include "tests/engine/text_file_fixture.h"

namespace {

using TextReaderTest = testing_support::TextFileTest;

using namespace testing_support;

TEST_F(TextReaderTest, EachMarkIsDetectedAndConsumed) {
  struct Case {
    std::string bytes;
    TextFormat format;
    Text firstLine;
  };
  const Case cases[] = {
      {bytesOf({0xFF, 0xFE, 'x', 0}), TextFormat::utf16le, u"x"},
      {bytesOf({0xEF, 0xBB, 0xBF, 'x'}), TextFormat::utf8, u"x"},
      {bytesOf({0xFE, 0xFF, 0, 'x'}), TextFormat::utf16be, u"x"},
      {bytesOf({0, 0, 0xFE, 0xFF, 0, 0, 0, 'x'}), TextFormat::utf32be, u"x"},
      {"xyz", TextFormat::ansi, u"xyz"},
  };
  for (const auto& c : cases) {
    write("f", c.bytes);
    auto file = openForReading(at("f"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(detectFormat(*file), c.format);
    EXPECT_EQ(nextLine(*file, c.format), c.firstLine);
    EXPECT_TRUE(atEnd(*file));
  }
}

TEST_F(TextReaderTest, FfFe0000IsUtf16LeAndConsumesTwoBytes) {
  write("f", bytesOf({0xFF, 0xFE, 0, 0, 'A', 0}));
  auto file = openForReading(at("f"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(detectFormat(*file), TextFormat::utf16le);
  // The two zero bytes are a zero unit of the text, which ends an empty first line.
  EXPECT_EQ(nextLine(*file, TextFormat::utf16le), u"");
  EXPECT_TRUE(sawZeroUnit(*file));
  EXPECT_EQ(nextLine(*file, TextFormat::utf16le), u"A");
  EXPECT_TRUE(atEnd(*file));
}

TEST_F(TextReaderTest, PartialMarksAreAnsiAndConsumeNothing) {
  struct Case {
    std::string bytes;
    Lines lines;
  };
  // Every byte is still read: invalid UTF-8 bytes come back as U+DC00 + byte.
  const Case cases[] = {
      {bytesOf({0xEF, 0xBB}), {u"\xDCEF\xDCBB"}},
      {bytesOf({0xEF, 0xBB, 'A'}), {u"\xDCEF\xDCBB" u"A"}},
      {bytesOf({0xFF}), {u"\xDCFF"}},
      {bytesOf({0xFE}), {u"\xDCFE"}},
      {bytesOf({0xFE, 'A'}), {u"\xDCFE" u"A"}},
      {bytesOf({0, 0, 0xFE}), {u"", u"", u"\xDCFE"}},
      {bytesOf({0, 0, 0xFF, 0xFE}), {u"", u"", u"\xDCFF\xDCFE"}},
  };
  for (const auto& c : cases) {
    write("f", c.bytes);
    TextFormat format = TextFormat::utf8;
    EXPECT_EQ(linesOf("f", &format), c.lines);
    EXPECT_EQ(format, TextFormat::ansi);
  }
}

TEST_F(TextReaderTest, EmptyFileIsAnsiWithNoLines) {
  write("f", "");
  TextFormat format = TextFormat::utf8;
  EXPECT_EQ(linesOf("f", &format), Lines{});
  EXPECT_EQ(format, TextFormat::ansi);
}

TEST_F(TextReaderTest, TwoByteFfFeFileIsUtf16LeWithNoLines) {
  write("f", bytesOf({0xFF, 0xFE}));
  TextFormat format = TextFormat::ansi;
  EXPECT_EQ(linesOf("f", &format), Lines{});
  EXPECT_EQ(format, TextFormat::utf16le);
}

TEST_F(TextReaderTest, FourKindsOfLineEnd) {
  write("f", "a\r\nb\nc\rd");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b", u"c", u"d"}));
  write("f", bytesOf({0xFF, 0xFE, 'a', 0, 13, 0, 10, 0, 'b', 0, 10, 0, 'c', 0, 13, 0, 'd', 0}));
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b", u"c", u"d"}));
}

TEST_F(TextReaderTest, CrCrLfReadsAsEmptyLine) {
  write("f", "a\r\r\nb");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"", u"b"}));
}

TEST_F(TextReaderTest, FinalLineBreakAddsNoEmptyLine) {
  write("f", "a\nb\n");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b"}));
  write("f", "a\r");
  EXPECT_EQ(linesOf("f"), (Lines{u"a"}));
  write("f", "\n\n");
  EXPECT_EQ(linesOf("f"), (Lines{u"", u""}));
}

TEST_F(TextReaderTest, ZeroByteSplitsAnsiLine) {
  write("f", std::string("ab\0cd\n", 6));
  auto file = openForReading(at("f"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(detectFormat(*file), TextFormat::ansi);
  EXPECT_FALSE(sawZeroUnit(*file));
  EXPECT_EQ(nextLine(*file, TextFormat::ansi), u"ab");
  EXPECT_TRUE(sawZeroUnit(*file));
  EXPECT_EQ(nextLine(*file, TextFormat::ansi), u"cd");
  EXPECT_TRUE(atEnd(*file));
}

TEST_F(TextReaderTest, FileWithoutZeroUnitReportsNone) {
  write("f", "plain\ntext\n");
  auto file = openForReading(at("f"));
  ASSERT_NE(file, nullptr);
  const TextFormat format = detectFormat(*file);
  while (!atEnd(*file)) nextLine(*file, format);
  EXPECT_FALSE(sawZeroUnit(*file));
  EXPECT_FALSE(readFailed(*file));
}

TEST_F(TextReaderTest, OtherControlBytesStayInTheLine) {
  // Tab, VT, FF, SO, US, DEL and a stray high byte at every offset of a long line.
  const std::string piece = "a\t\x0B\x0C\x0E\x1F\x7F\xFF";
  std::string bytes;
  Text expected;
  for (int i = 0; i < 1001; ++i) {
    bytes += piece.substr(0, 1 + i % piece.size());
    for (unsigned char b : piece.substr(0, 1 + i % piece.size()))
      expected += b < 0x80 ? char16_t{b} : char16_t(0xDC00 + b);
  }
  write("f", bytes + "\n" + bytes);
  EXPECT_EQ(linesOf("f"), (Lines{expected, expected}));
}

TEST_F(TextReaderTest, Utf8MarkIsNotPartOfTheFirstLine) {
  write("f", "\xEF\xBB\xBF" "caf\xC3\xA9\r\nzwei");
  TextFormat format = TextFormat::ansi;
  EXPECT_EQ(linesOf("f", &format), (Lines{u"caf\u00E9", u"zwei"}));
  EXPECT_EQ(format, TextFormat::utf8);
}

TEST_F(TextReaderTest, Utf16LeUnitsArriveUnchanged) {
  // 'x', a lone surrogate, U+20AC and a pair, then CR LF.
  write("f", bytesOf({0xFF, 0xFE, 'x', 0, 0x00, 0xD8, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 13, 0, 10, 0}));
  EXPECT_EQ(linesOf("f"), (Lines{u"x\xD800\u20AC\U0001F600"}));
}

TEST_F(TextReaderTest, Utf16LeFileEndingInsideAUnitDropsTheByteAndSaysSo) {
  write("f", bytesOf({0xFF, 0xFE, 'A', 0, 'B'}));
  auto file = openForReading(at("f"));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(detectFormat(*file), TextFormat::utf16le);
  EXPECT_FALSE(sawIncompleteUnit(*file));
  EXPECT_EQ(nextLine(*file, TextFormat::utf16le), u"A");
  EXPECT_TRUE(atEnd(*file));
  EXPECT_TRUE(sawIncompleteUnit(*file));

  write("g", bytesOf({0xFF, 0xFE, 'A'}));
  file = openForReading(at("g"));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(detectFormat(*file), TextFormat::utf16le);
  EXPECT_TRUE(atEnd(*file));
  EXPECT_TRUE(sawIncompleteUnit(*file));
}

TEST_F(TextReaderTest, LongLinesHaveNoLengthLimit) {
  const std::string medium(5000, 'm');
  const std::string huge(300000, 'h');
  write("f", medium + "\n" + huge + "\r\n" + "end");
  const Lines lines = linesOf("f");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Text(5000, u'm'));
  EXPECT_EQ(lines[1], Text(300000, u'h'));
  EXPECT_EQ(lines[2], u"end");
}

TEST_F(TextReaderTest, MultiByteCharactersAcrossReadsDecodeWhole) {
  // 2-, 3- and 4-byte sequences in a line far longer than any read, so that sequences fall
  // across the ends of reads at every offset.
  std::string bytes;
  Text expected;
  for (int i = 0; i < 40000; ++i) {
    bytes += "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    expected += u"a\u00E9\u20AC\U0001F600";
  }
  write("f", "\xEF\xBB\xBF" + bytes + "\n" + bytes);
  EXPECT_EQ(linesOf("f"), (Lines{expected, expected}));
}

TEST_F(TextReaderTest, LongUtf16LeLineAcrossReads) {
  std::string bytes = bytesOf({0xFF, 0xFE});
  Text expected;
  for (int i = 0; i < 100001; ++i) {
    const char16_t unit = static_cast<char16_t>(0x100 + i % 0xD000);
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
    expected += unit;
  }
  bytes += bytesOf({13, 0, 10, 0, 'z', 0});
  write("f", bytes);
  EXPECT_EQ(linesOf("f"), (Lines{expected, u"z"}));
}

TEST_F(TextReaderTest, CrLfSplitAcrossReadsIsOneLineEnd) {
  // The CR and LF fall on either side of every plausible power-of-two buffer size.
  for (size_t size : {4096u, 65536u, 131072u}) {
    write("f", std::string(size - 1, 'x') + "\r\ny");
    const Lines lines = linesOf("f");
    ASSERT_EQ(lines.size(), 2u) << size;
    EXPECT_EQ(lines[1], u"y");
  }
}

TEST_F(TextReaderTest, CallersLineIsReplacedNotAppended) {
  write("f", "one\ntwo");
  auto file = openForReading(at("f"));
  ASSERT_NE(file, nullptr);
  Text line = u"left over";
  EXPECT_TRUE(readLine(*file, detectFormat(*file), line));
  EXPECT_EQ(line, u"one");
  EXPECT_TRUE(readLine(*file, TextFormat::ansi, line));
  EXPECT_EQ(line, u"two");
  EXPECT_FALSE(readLine(*file, TextFormat::ansi, line));
  EXPECT_EQ(line, u"");
}

TEST_F(TextReaderTest, MissingFilesAndFoldersCannotBeOpened) {
  EXPECT_EQ(openForReading(at("missing.txt")), nullptr);
  EXPECT_EQ(openForReading(folder_.string()), nullptr);
}

// A named pipe with a text file's name, as a folder walk takes it: opening it must not
// wait for a program to write into it.
TEST_F(TextReaderTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  ASSERT_EQ(mkfifo(at("pipe.txt").c_str(), 0600), 0);
  EXPECT_EQ(openForReading(at("pipe.txt")), nullptr);
  FileBytes bytes;
  struct stat status;
  EXPECT_EQ(openWholeFile(at("pipe.txt"), bytes, status), nullptr);
}

// Reading takes no lock, so a file in use by another holder is read; it is not written,
// and a reader that takes the lock for writing holds it until it is released.
TEST_F(TextReaderTest, FileInUseIsReadButNotWritten) {
  write("f", "x\n");
  const int holder = ::open(at("f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  if (::flock(holder, LOCK_EX | LOCK_NB) != 0) {
    ::close(holder);
    GTEST_SKIP() << "the temporary folder's file system does not support flock";
  }
  auto stream = openForReading(at("f"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(nextLine(*stream, detectFormat(*stream)), u"x");
  FileBytes bytes;
  struct stat status;
  auto whole = openWholeFile(at("f"), bytes, status);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(bytes.view(), "x\n");
  EXPECT_FALSE(lockForWriting(*whole));

  ::close(holder);
  EXPECT_TRUE(lockForWriting(*whole));
  const int other = ::open(at("f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
  whole.reset();
  EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  ::close(other);
}

TEST_F(TextReaderTest, ReadErrorEndsTheFileAndIsReported) {
  // Reading /proc/self/mem at offset 0 fails with an I/O error.
  auto file = openForReading("/proc/self/mem");
  if (!file) GTEST_SKIP() << "cannot open /proc/self/mem";
  EXPECT_EQ(detectFormat(*file), TextFormat::ansi);
  EXPECT_TRUE(atEnd(*file));
  Text line;
  EXPECT_FALSE(readLine(*file, TextFormat::ansi, line));
  EXPECT_TRUE(readFailed(*file));
}

// The run reads each file whole and splits it in memory; it must see what the reader of
// the open file sees, also where that reader's 64 KiB reads cut a line, a CR LF or a unit.
TEST_F(TextReaderTest, WholeFileReaderGivesTheStreamReadersTextAndFlags) {
  const std::string longLine(65535, 'x');
  std::vector<std::string> contents = {
      "",
      "a\r\nb\rc\n\nd\r",
      longLine + "\r\nafter",
      longLine + "\xC3\xA4 across\r\r\n",
      std::string("old\0old\n", 8),
      "caf\xE9 na\xEFve\xFF\xC3",
      "\xEF\xBB\xBF" "marked\n",
      std::string("\xFF\xFE" "a\0\r\0\n\0b\0\0\0c", 13),
      std::string("\xFF\xFE", 2) + std::string(65536, 'y') + std::string("\r\0\n\0z\0", 6),
      "\xFE\xFF",
  };
  // Beyond 1 MiB the text's room is counted from the line ends: all of them make it largest.
  std::string ends;
  while (ends.size() < 1200000) ends += std::string("\0\r\n\r\n\n\xC3", 7);
  contents.push_back(ends);
  FileBytes bytes;
  struct stat status;
  for (size_t k = 0; k < contents.size(); ++k) {
    SCOPED_TRACE(k);
    write("f", contents[k]);
    auto stream = openForReading(at("f"));
    ASSERT_NE(stream, nullptr);
    const TextFormat format = detectFormat(*stream);
    Text expected;
    Text line;
    for (bool first = true; readLine(*stream, format, line); first = false) {
      if (!first) expected += u"\r\n";
      expected += line;
    }
    const bool zero = sawZeroUnit(*stream);
    const bool incomplete = sawIncompleteUnit(*stream);
    stream.reset();
    auto whole = openWholeFile(at("f"), bytes, status);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(bytes.view(), contents[k]);
    EXPECT_EQ(detectFormat(*whole), format);
    Text text = u"left from an earlier file";
    readText(*whole, format, text);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(sawZeroUnit(*whole), zero);
    EXPECT_EQ(sawIncompleteUnit(*whole), incomplete);
    EXPECT_FALSE(readFailed(*whole));
  }
  EXPECT_EQ(openWholeFile(folder_.string(), bytes, status), nullptr);
  auto proc = openWholeFile("/proc/self/mem", bytes, status);
  if (proc) {
    EXPECT_TRUE(readFailed(*proc));
  }
}

}  // namespace
