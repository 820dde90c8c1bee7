#include "engine/text_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string bytesOf(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// Each test gets its own real folder below the system's temporary folder.
class TextFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "text_file_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path(name), std::ios::binary);
    out << bytes;
    return path(name);
  }

  std::string bytesIn(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Opens, detects the format and reads every line the way the run does.
  std::vector<Text> linesOf(const std::string& name, TextFormat* format = nullptr) const {
    auto file = openForReading(path(name), charset_);
    EXPECT_NE(file, nullptr);
    if (!file) return {};
    const TextFormat detected = detectFormat(*file);
    if (format) *format = detected;
    std::vector<Text> lines;
    Text line;
    while (!atEnd(*file)) {
      EXPECT_TRUE(readLine(*file, detected, line));
      lines.push_back(line);
    }
    EXPECT_FALSE(readLine(*file, detected, line));
    EXPECT_TRUE(closeFile(*file));
    return lines;
  }

  // Writes the lines (and the mark when asked) and returns the file's bytes.
  std::string written(const std::vector<Text>& lines, TextFormat format, bool mark = false) const {
    auto file = createForWriting(path("out"), charset_);
    EXPECT_NE(file, nullptr);
    if (!file) return {};
    if (mark) writeMark(*file, format);
    for (const auto& line : lines) writeLine(*file, line, format);
    EXPECT_TRUE(closeFile(*file));
    return bytesIn("out");
  }

  std::filesystem::path folder_;
  std::string charset_;  // the "ansi" character set of linesOf and written (empty: UTF-8)
};

using Lines = std::vector<Text>;

TEST_F(TextFileTest, EachMarkIsDetectedAndConsumed) {
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
    auto file = openForReading(path("f"));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(detectFormat(*file), c.format);
    EXPECT_EQ(readLine(*file, c.format), c.firstLine);
    EXPECT_TRUE(atEnd(*file));
  }
}

TEST_F(TextFileTest, FfFe0000IsUtf16LeAndConsumesTwoBytes) {
  write("f", bytesOf({0xFF, 0xFE, 0, 0, 'A', 0}));
  auto file = openForReading(path("f"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(detectFormat(*file), TextFormat::utf16le);
  // The two zero bytes are a zero unit of the text, which ends an empty first line.
  EXPECT_EQ(readLine(*file, TextFormat::utf16le), u"");
  EXPECT_TRUE(sawZeroUnit(*file));
  EXPECT_EQ(readLine(*file, TextFormat::utf16le), u"A");
  EXPECT_TRUE(atEnd(*file));
}

TEST_F(TextFileTest, PartialMarksAreAnsiAndConsumeNothing) {
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

TEST_F(TextFileTest, EmptyFileIsAnsiWithNoLines) {
  write("f", "");
  TextFormat format = TextFormat::utf8;
  EXPECT_EQ(linesOf("f", &format), Lines{});
  EXPECT_EQ(format, TextFormat::ansi);
}

TEST_F(TextFileTest, TwoByteFfFeFileIsUtf16LeWithNoLines) {
  write("f", bytesOf({0xFF, 0xFE}));
  TextFormat format = TextFormat::ansi;
  EXPECT_EQ(linesOf("f", &format), Lines{});
  EXPECT_EQ(format, TextFormat::utf16le);
}

TEST_F(TextFileTest, FourKindsOfLineEnd) {
  write("f", "a\r\nb\nc\rd");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b", u"c", u"d"}));
  write("f", bytesOf({0xFF, 0xFE, 'a', 0, 13, 0, 10, 0, 'b', 0, 10, 0, 'c', 0, 13, 0, 'd', 0}));
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b", u"c", u"d"}));
}

TEST_F(TextFileTest, CrCrLfReadsAsEmptyLine) {
  write("f", "a\r\r\nb");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"", u"b"}));
}

TEST_F(TextFileTest, FinalLineBreakAddsNoEmptyLine) {
  write("f", "a\nb\n");
  EXPECT_EQ(linesOf("f"), (Lines{u"a", u"b"}));
  write("f", "a\r");
  EXPECT_EQ(linesOf("f"), (Lines{u"a"}));
  write("f", "\n\n");
  EXPECT_EQ(linesOf("f"), (Lines{u"", u""}));
}

TEST_F(TextFileTest, ZeroByteSplitsAnsiLine) {
  write("f", std::string("ab\0cd\n", 6));
  auto file = openForReading(path("f"));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(detectFormat(*file), TextFormat::ansi);
  EXPECT_FALSE(sawZeroUnit(*file));
  EXPECT_EQ(readLine(*file, TextFormat::ansi), u"ab");
  EXPECT_TRUE(sawZeroUnit(*file));
  EXPECT_EQ(readLine(*file, TextFormat::ansi), u"cd");
  EXPECT_TRUE(atEnd(*file));
}

TEST_F(TextFileTest, FileWithoutZeroUnitReportsNone) {
  write("f", "plain\ntext\n");
  auto file = openForReading(path("f"));
  ASSERT_NE(file, nullptr);
  const TextFormat format = detectFormat(*file);
  while (!atEnd(*file)) readLine(*file, format);
  EXPECT_FALSE(sawZeroUnit(*file));
  EXPECT_FALSE(readFailed(*file));
}

TEST_F(TextFileTest, OtherControlBytesStayInTheLine) {
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

TEST_F(TextFileTest, Utf8MarkIsNotPartOfTheFirstLine) {
  write("f", "\xEF\xBB\xBF" "caf\xC3\xA9\r\nzwei");
  TextFormat format = TextFormat::ansi;
  EXPECT_EQ(linesOf("f", &format), (Lines{u"caf\u00E9", u"zwei"}));
  EXPECT_EQ(format, TextFormat::utf8);
}

TEST_F(TextFileTest, Utf16LeUnitsArriveUnchanged) {
  // 'x', a lone surrogate, U+20AC and a pair, then CR LF.
  write("f", bytesOf({0xFF, 0xFE, 'x', 0, 0x00, 0xD8, 0xAC, 0x20, 0x3D, 0xD8, 0x00, 0xDE, 13, 0, 10, 0}));
  EXPECT_EQ(linesOf("f"), (Lines{u"x\xD800\u20AC\U0001F600"}));
}

TEST_F(TextFileTest, Utf16LeFileEndingInsideAUnitDropsTheByteAndSaysSo) {
  write("f", bytesOf({0xFF, 0xFE, 'A', 0, 'B'}));
  auto file = openForReading(path("f"));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(detectFormat(*file), TextFormat::utf16le);
  EXPECT_FALSE(sawIncompleteUnit(*file));
  EXPECT_EQ(readLine(*file, TextFormat::utf16le), u"A");
  EXPECT_TRUE(atEnd(*file));
  EXPECT_TRUE(sawIncompleteUnit(*file));

  write("g", bytesOf({0xFF, 0xFE, 'A'}));
  file = openForReading(path("g"));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(detectFormat(*file), TextFormat::utf16le);
  EXPECT_TRUE(atEnd(*file));
  EXPECT_TRUE(sawIncompleteUnit(*file));
}

TEST_F(TextFileTest, LongLinesHaveNoLengthLimit) {
  const std::string medium(5000, 'm');
  const std::string huge(300000, 'h');
  write("f", medium + "\n" + huge + "\r\n" + "end");
  const Lines lines = linesOf("f");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], Text(5000, u'm'));
  EXPECT_EQ(lines[1], Text(300000, u'h'));
  EXPECT_EQ(lines[2], u"end");
}

TEST_F(TextFileTest, MultiByteCharactersAcrossReadsDecodeWhole) {
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

TEST_F(TextFileTest, LongUtf16LeLineAcrossReads) {
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

TEST_F(TextFileTest, CrLfSplitAcrossReadsIsOneLineEnd) {
  // The CR and LF fall on either side of every plausible power-of-two buffer size.
  for (size_t size : {4096u, 65536u, 131072u}) {
    write("f", std::string(size - 1, 'x') + "\r\ny");
    const Lines lines = linesOf("f");
    ASSERT_EQ(lines.size(), 2u) << size;
    EXPECT_EQ(lines[1], u"y");
  }
}

TEST_F(TextFileTest, CallersLineIsReplacedNotAppended) {
  write("f", "one\ntwo");
  auto file = openForReading(path("f"));
  ASSERT_NE(file, nullptr);
  Text line = u"left over";
  EXPECT_TRUE(readLine(*file, detectFormat(*file), line));
  EXPECT_EQ(line, u"one");
  EXPECT_TRUE(readLine(*file, TextFormat::ansi, line));
  EXPECT_EQ(line, u"two");
  EXPECT_FALSE(readLine(*file, TextFormat::ansi, line));
  EXPECT_EQ(line, u"");
}

TEST_F(TextFileTest, InvalidUtf8BytesSurviveReadAndWriteBack) {
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

TEST_F(TextFileTest, WrittenBytesForEachFormat) {
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

TEST_F(TextFileTest, MarksWrittenForEachFormat) {
  EXPECT_EQ(written({u"x"}, TextFormat::utf8, true), "\xEF\xBB\xBFx\r\n");
  EXPECT_EQ(written({u"x"}, TextFormat::utf16le, true), bytesOf({0xFF, 0xFE, 'x', 0, 13, 0, 10, 0}));
  EXPECT_EQ(written({u"x"}, TextFormat::ansi, true), "x\r\n");
}

TEST_F(TextFileTest, ManyLinesWriteAndReadBackInEveryFormat) {
  Lines lines;
  for (int i = 0; i < 30000; ++i) lines.push_back(u"line " + numberToText(i) + u" \u00E9\u20AC");
  for (TextFormat format : {TextFormat::ansi, TextFormat::utf8, TextFormat::utf16le}) {
    auto file = createForWriting(path("many"));
    ASSERT_NE(file, nullptr);
    writeMark(*file, format);
    for (const auto& line : lines) writeLine(*file, line, format);
    ASSERT_TRUE(closeFile(*file));
    TextFormat detected = TextFormat::utf32be;
    EXPECT_EQ(linesOf("many", &detected), lines);
    EXPECT_EQ(detected, format);
  }
}

TEST_F(TextFileTest, CreatingEmptiesAnExistingFile) {
  write("f", "old contents that are longer");
  auto file = createForWriting(path("f"));
  ASSERT_NE(file, nullptr);
  writeLine(*file, u"new", TextFormat::ansi);
  EXPECT_TRUE(closeFile(*file));
  EXPECT_EQ(bytesIn("f"), "new\r\n");
}

TEST_F(TextFileTest, ReleasingAnUnclosedFileStillWritesItsLines) {
  {
    auto file = createForWriting(path("f"));
    ASSERT_NE(file, nullptr);
    writeLine(*file, u"kept", TextFormat::utf8);
  }
  EXPECT_EQ(bytesIn("f"), "kept\r\n");
}

TEST_F(TextFileTest, CreatedFileHasReadWriteModeLessUmask) {
  const mode_t old = umask(022);
  auto file = createForWriting(path("new"));
  umask(old);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(closeFile(*file));
  struct stat info;
  ASSERT_EQ(stat(path("new").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(info.st_size, 0);
}

TEST_F(TextFileTest, MissingFilesAndFoldersCannotBeOpened) {
  EXPECT_EQ(openForReading(path("missing.txt")), nullptr);
  EXPECT_EQ(openForReading(folder_.string()), nullptr);
  EXPECT_EQ(createForWriting(path("no/such/folder.txt")), nullptr);
  EXPECT_EQ(createForWriting(folder_.string()), nullptr);
}

// A named pipe with a text file's name, as a folder walk takes it: opening it must not
// wait for a program to write into it.
TEST_F(TextFileTest, NamedPipeIsRefusedWithoutWaitingForAWriter) {
  ASSERT_EQ(mkfifo(path("pipe.txt").c_str(), 0600), 0);
  EXPECT_EQ(openForReading(path("pipe.txt")), nullptr);
  FileBytes bytes;
  EXPECT_EQ(openWholeFile(path("pipe.txt"), bytes), nullptr);
}

// Reading takes no lock, so a file in use by another holder is read; it is not written,
// and a reader that takes the lock for writing holds it until it is released.
TEST_F(TextFileTest, FileInUseIsReadButNotWritten) {
  write("f", "x\n");
  const int holder = ::open(path("f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(holder, 0);
  if (::flock(holder, LOCK_EX | LOCK_NB) != 0) {
    ::close(holder);
    GTEST_SKIP() << "the temporary folder's file system does not support flock";
  }
  auto stream = openForReading(path("f"));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(readLine(*stream, detectFormat(*stream)), u"x");
  FileBytes bytes;
  auto whole = openWholeFile(path("f"), bytes);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(bytes.view(), "x\n");
  EXPECT_FALSE(lockForWriting(*whole));
  EXPECT_EQ(createForWriting(path("f")), nullptr);
  EXPECT_EQ(bytesIn("f"), "x\n");  // the refused creation did not empty it

  ::close(holder);
  EXPECT_TRUE(lockForWriting(*whole));
  const int other = ::open(path("f").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(other, 0);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
  whole.reset();
  EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  ::close(other);
}

TEST_F(TextFileTest, WriteFailureIsReportedByClose) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  auto file = createForWriting("/dev/full");
  ASSERT_NE(file, nullptr);
  writeLine(*file, u"cannot be stored", TextFormat::ansi);
  EXPECT_FALSE(closeFile(*file));

  // Also when the buffer had to be flushed before the close.
  file = createForWriting("/dev/full");
  ASSERT_NE(file, nullptr);
  for (int i = 0; i < 20000; ++i) writeLine(*file, u"0123456789", TextFormat::utf16le);
  EXPECT_FALSE(closeFile(*file));
}

TEST_F(TextFileTest, ReadErrorEndsTheFileAndIsReported) {
  // Reading /proc/self/mem at offset 0 fails with an I/O error.
  auto file = openForReading("/proc/self/mem");
  if (!file) GTEST_SKIP() << "cannot open /proc/self/mem";
  EXPECT_EQ(detectFormat(*file), TextFormat::ansi);
  EXPECT_TRUE(atEnd(*file));
  Text line;
  EXPECT_FALSE(readLine(*file, TextFormat::ansi, line));
  EXPECT_TRUE(readFailed(*file));
}

TEST_F(TextFileTest, AnsiInAnotherCharacterSetIsLossless) {
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

// A long text is encoded a part at a time: a surrogate pair where a part ends, and an
// escape unit after it, are written as a whole text's would be.
TEST_F(TextFileTest, LongTextIsWrittenAsOneWhateverItsLength) {
  for (size_t at = 16380; at <= 16386; ++at) {
    Text text(70000, u'a');
    text.replace(at, 3, u"\U0001F600\xDC80");
    text.replace(at + 20000, 2, u"\U0001F601");
    for (const TextFormat format : {TextFormat::utf8, TextFormat::utf16le}) {
      auto file = createForWriting(path("f"));
      ASSERT_NE(file, nullptr);
      writeText(*file, text, format);
      ASSERT_TRUE(closeFile(*file));
      std::string expected;
      if (format == TextFormat::utf8) {
        expected = textToUtf8(text);
      } else {
        for (const char16_t unit : text) expected += bytesOf({unit & 0xFF, unit >> 8});
      }
      EXPECT_TRUE(bytesIn("f") == expected) << "pair at " << at;
    }
  }
}

TEST_F(TextFileTest, CharactersTheAnsiSetLacksAreWrittenAsQuestionMarks) {
  charset_ = "CP1252";
  EXPECT_EQ(written({u"\u03A9 \U0001F600 \xD800 \u00E9"}, TextFormat::ansi), "? ? ? \xE9\r\n");
}

// The run reads each file whole and splits it in memory; it must see what the reader of
// the open file sees, also where that reader's 64 KiB reads cut a line, a CR LF or a unit.
TEST_F(TextFileTest, WholeFileReaderGivesTheStreamReadersTextAndFlags) {
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
  for (size_t k = 0; k < contents.size(); ++k) {
    SCOPED_TRACE(k);
    write("f", contents[k]);
    auto stream = openForReading(path("f"));
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
    auto whole = openWholeFile(path("f"), bytes);
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
  EXPECT_EQ(openWholeFile(folder_.string(), bytes), nullptr);
  auto proc = openWholeFile("/proc/self/mem", bytes);
  if (proc) {
    EXPECT_TRUE(readFailed(*proc));
  }
}

}  // namespace
