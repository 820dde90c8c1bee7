#pragma once
// The text file tests' folder: files read line by line as the run reads them, and lines
// written through a writer on a new file, as the run writes them.

#include <fcntl.h>
#include <unistd.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "engine/text_file.h"
#include "tests/support/temporary_folder.h"

namespace testing_support {

inline std::string bytesOf(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

using Lines = std::vector<Text>;

// The next line of the file, or the empty text when none was left.
inline Text nextLine(TextFile& file, TextFormat format) {
  Text line;
  readLine(file, format, line);
  return line;
}

class TextFileTest : public TemporaryFolderTest {
 protected:
  void TearDown() override {
    for (const int fd : descriptors_) ::close(fd);
    TemporaryFolderTest::TearDown();
  }

  // Opens, detects the format and reads every line the way the run does.
  Lines linesOf(const std::string& name, TextFormat* format = nullptr) const {
    auto file = openForReading(at(name), charset_);
    EXPECT_NE(file, nullptr);
    if (!file) return {};
    const TextFormat detected = detectFormat(*file);
    if (format) *format = detected;
    Lines lines;
    Text line;
    while (!atEnd(*file)) {
      EXPECT_TRUE(readLine(*file, detected, line));
      lines.push_back(line);
    }
    EXPECT_FALSE(readLine(*file, detected, line));
    EXPECT_TRUE(closeFile(*file));
    return lines;
  }

  // A writer on the file at path, created or emptied; the descriptor is closed after the
  // test (null when it cannot be opened).
  std::unique_ptr<TextFile> writerAt(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0) return nullptr;
    descriptors_.push_back(fd);
    return writeToDescriptor(fd, charset_);
  }

  // Writes the lines (and the mark when asked) and returns the file's bytes.
  std::string written(const Lines& lines, TextFormat format, bool mark = false) {
    auto file = writerAt(at("out"));
    if (!file) return {};
    if (mark) writeMark(*file, format);
    for (const auto& line : lines) writeLine(*file, line, format);
    EXPECT_TRUE(closeFile(*file));
    return read("out");
  }

  std::string charset_;  // the "ansi" character set of linesOf and written (empty: UTF-8)

 private:
  std::vector<int> descriptors_;
};

}  // namespace testing_support
