#include "engine/reached_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

struct stat fileWithInode(ino_t inode) {
    struct stat file = {};
    file.st_dev = 1;
    file.st_ino = inode;
    return file;
}

// A later name reached before an earlier one of the same file does not wait for it, and
// learns only from isFirst, once the earlier one is reached, that the file is not its own.
TEST(ReachedFilesTest, LaterNameReachedFirstLosesTheFileToTheEarlierName) {
    ReachedFiles reached;
    const struct stat same = fileWithInode(7);
    const struct stat other = fileWithInode(8);
    EXPECT_TRUE(reached.reach(2, &same));  // open question: entries 0 and 1 are not reached

    std::atomic<bool> answered{false};
    bool secondIsFirst = true;
    std::thread later([&] {
        secondIsFirst = reached.isFirst(2, same);
        answered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(answered) << "isFirst answered before the earlier entries were reached";

    EXPECT_TRUE(reached.reach(1, &other));
    EXPECT_TRUE(reached.reach(0, &same));  // the earlier name of the same file
    later.join();
    EXPECT_FALSE(secondIsFirst);
    EXPECT_TRUE(reached.isFirst(0, same));
    EXPECT_TRUE(reached.isFirst(1, other));
    // A name reached after an earlier one of the same file knows it at once.
    EXPECT_FALSE(reached.reach(3, &same));
}

}  // namespace
