// The safe copy that backups are made with: byte for byte, its time kept, an earlier copy
// replaced, nothing left behind on failure.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/safe_write.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

class SafeCopyTest : public testing_support::TemporaryFolderTest {
protected:
    // Copies the file at from into the folder under name, as the run's backup copies are made.
    bool copyInto(const std::string& from, const char* name) const {
        const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        EXPECT_GE(folder, 0);
        const bool copied = folder >= 0 && copyFileIntoFolder(from, folder, name);
        if (folder >= 0) ::close(folder);
        return copied;
    }
    // The names in the folder: no temporary file may be left behind.
    int entries() const {
        return static_cast<int>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }
};

TEST_F(SafeCopyTest, CopyIsByteExactKeepsTimeAndReplacesAnEarlierCopy) {
    std::string bytes;
    for (int i = 0; i < 600000; ++i) bytes += static_cast<char>(i * 7);
    write("source.bin", bytes);
    const auto old = fs::last_write_time(at("source.bin")) - std::chrono::hours(3);
    fs::last_write_time(at("source.bin"), old);
    write("copy.bin", "earlier copy, longer than nothing");
    EXPECT_TRUE(copyInto(at("source.bin"), "copy.bin"));
    EXPECT_TRUE(read("copy.bin") == bytes);
    EXPECT_EQ(fs::last_write_time(at("copy.bin")), old);
    EXPECT_EQ(entries(), 2);
}

// A file whose size says 0 although it has bytes is copied by reading it.
TEST_F(SafeCopyTest, CopyOfAFileWithoutASizeHasItsBytes) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) GTEST_SKIP() << "no /proc/self/cmdline";
    ASSERT_TRUE(copyInto("/proc/self/cmdline", "copy"));
    EXPECT_EQ(read("copy"), bytes);
}

TEST_F(SafeCopyTest, CopyFailsWithoutTargetFolderOrSource) {
    write("source.txt", "a");
    EXPECT_FALSE(copyFileIntoFolder(at("source.txt"), -1, "copy.txt"));
    EXPECT_FALSE(copyInto(at("missing.txt"), "copy.txt"));
    EXPECT_FALSE(fs::exists(at("copy.txt")));
    EXPECT_EQ(entries(), 1);
}

}  // namespace
