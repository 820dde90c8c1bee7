#include "engine/reached_files.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

#include "engine/file_rewrite.h"
#include "tests/support/temporary_folder.h"

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

class OpenedAheadTest : public testing_support::TemporaryFolderTest {};

int openDescriptors() {
    namespace fs = std::filesystem;
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// Files opened ahead by two rewriters of one run are reached at once: a file of one needs
// no turn of the other to know whether it is its own, the first name of a file still wins,
// and a file opened ahead but never rewritten is let go with its rewriter.
TEST_F(OpenedAheadTest, FilesOpenedAheadSettleTheirNamesWithoutWaitingForTheirTurn) {
    write("a.txt", "old");
    ASSERT_EQ(::symlink("a.txt", at("link.txt").c_str()), 0);
    write("c.txt", "old");
    write("d.txt", "old");
    PreparedRow row;
    row.search = u"old";
    row.replacement = u"new";
    const int before = openDescriptors();
    ReachedFiles shared;
    {
        FileRewriter first({}, &shared);
        FileRewriter second({}, &shared);
        first.openAhead(0, at("a.txt"));
        first.openAhead(2, at("missing.txt"));
        first.reachOpenedAhead();
        second.openAhead(1, at("link.txt"));
        second.openAhead(3, at("c.txt"));
        second.openAhead(4, at("d.txt"));
        second.reachOpenedAhead();

        // Neither waits for the other's turn at entries 0 and 2.
        EXPECT_EQ(second.rewrite(1, at("link.txt"), row, nullptr), FileOutcome::unchanged);
        EXPECT_EQ(second.rewrite(3, at("c.txt"), row, nullptr), FileOutcome::changed);
        EXPECT_EQ(first.rewrite(0, at("a.txt"), row, nullptr), FileOutcome::changed);
        EXPECT_EQ(first.rewrite(2, at("missing.txt"), row, nullptr), FileOutcome::unreadable);
        EXPECT_EQ(first.lastFailure().error, ENOENT);
        EXPECT_GT(openDescriptors(), before);  // d.txt, opened ahead and not rewritten
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_EQ(read("a.txt"), "new\r\n");
    EXPECT_EQ(read("c.txt"), "new\r\n");
    EXPECT_EQ(read("d.txt"), "old");
}

// Out of descriptors, a file is not opened ahead but in its turn, once the files before it
// are closed again: every file is changed, none is "unreadable".
TEST_F(OpenedAheadTest, FileThatCannotBeOpenedAheadForWantOfDescriptorsIsOpenedInItsTurn) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) write(name, "old");
    PreparedRow row;
    row.search = u"old";
    row.replacement = u"new";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for two files opened ahead, while they are opened.
        struct rlimit usual = {};
        if (getrlimit(RLIMIT_NOFILE, &usual) != 0) _exit(10);
        const int lowestFree = ::dup(0);  // descriptors are numbered from the lowest free one
        if (lowestFree < 0) _exit(13);
        ::close(lowestFree);
        struct rlimit few = usual;
        few.rlim_cur = static_cast<rlim_t>(lowestFree + 2);
        if (setrlimit(RLIMIT_NOFILE, &few) != 0) _exit(11);
        FileRewriter rewriter;
        const char* const names[] = {"a.txt", "b.txt", "c.txt", "d.txt"};
        for (size_t i = 0; i < 4; ++i) rewriter.openAhead(i, at(names[i]));
        if (setrlimit(RLIMIT_NOFILE, &usual) != 0) _exit(12);
        rewriter.reachOpenedAhead();
        int changed = 0;
        for (size_t i = 0; i < 4; ++i) changed += rewriter.rewrite(i, at(names[i]), row, nullptr) == FileOutcome::changed;
        _exit(changed);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 4);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) EXPECT_EQ(read(name), "new\r\n") << name;
}

}  // namespace
