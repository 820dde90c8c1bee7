// The undo of rif's runs under everyday accidents: a later run that changes nothing, two
// runs into one backup folder, a file reached under several PATHs, an undo that could not
// finish, journals that are not the user's own or not whole, hard links.

#include <sys/stat.h>
#include <unistd.h>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

using RifUndoTest = RifTest;

TEST_F(RifUndoTest, RunThatChangesNothingKeepsTheLastRunsCopiesAndUndo) {
    write("A/x.txt", "old a\n");
    write("B/x.txt", "old b\n");
    fs::permissions(at("B/x.txt"), fs::perms(0444));
    fs::create_directories(at("bak"));
    ASSERT_EQ(rif({"-q", "-b", "bak", "old", "new", "A"}).status, 0);
    ASSERT_EQ(read("bak/x.txt"), "old a\n");

    // B's file is refused (read-only) before its copy could replace A's.
    const Result refused = rif({"-b", "bak", "old", "new", "B"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("B/x.txt: error: it is read-only"), std::string::npos) << refused.err;
    EXPECT_EQ(read("bak/x.txt"), "old a\n");
    // Nothing found at all keeps it too.
    EXPECT_EQ(rif({"-b", "bak", "absent", "new", "A"}).status, 1);

    const Result undone = rif({"--undo", "bak"});
    EXPECT_EQ(undone.status, 0) << undone.err;
    EXPECT_EQ(read("A/x.txt"), "old a\n");
    EXPECT_EQ(read("B/x.txt"), "old b\n");
}

TEST_F(RifUndoTest, OneRunOrUndoAtATimePerBackupFolderAndOnlyTheRunsOwnCopiesGoBack) {
    write("site/a.txt", "old\n");
    fs::create_directories(at("bak"));
    // Another process holds the folder, as a run or undo in progress does.
    const Result busy = Result{shell("flock -n bak " + quoted(RIF_PROGRAM) + " -b bak old new site >.busy 2>&1"),
                               "", slurp(at(".busy"))};
    EXPECT_EQ(busy.status, 2);
    EXPECT_NE(busy.err.find("another run or undo is using the backup folder bak"), std::string::npos) << busy.err;
    EXPECT_EQ(read("site/a.txt"), "old\n");
    EXPECT_FALSE(fs::exists(at("bak/a.txt")));

    ASSERT_EQ(rif({"-q", "-b", "bak", "old", "new", "site"}).status, 0);
    EXPECT_EQ(shell("flock -n bak " + quoted(RIF_PROGRAM) + " --undo bak >/dev/null 2>&1"), 2);
    EXPECT_EQ(read("site/a.txt"), "new\n");

    // A copy that is not the one the run made never goes back.
    write("bak/a.txt", "another site's text\n");
    const Result undo = rif({"--undo", "bak"});
    EXPECT_EQ(undo.status, 3);
    EXPECT_NE(undo.err.find("site/a.txt: error: left alone: its backup copy is not the one the run made"),
              std::string::npos)
        << undo.err;
    EXPECT_EQ(read("site/a.txt"), "new\n");
}

TEST_F(RifUndoTest, FileReachedUnderSeveralPathsIsChangedOnceAndUndoneToItsFirstState) {
    write("site/sub/a.txt", "x\n");
    fs::create_directories(at("bak"));
    const Result r = rif({"-b", "bak", "x", "xx", "site", "site/sub", "site/sub/a.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("site/sub/a.txt"), "xx\n");
    EXPECT_EQ(r.out, "site/sub/a.txt: 1\n");
    EXPECT_EQ(rif({"--undo", "bak"}).status, 0);
    EXPECT_EQ(read("site/sub/a.txt"), "x\n");
}

TEST_F(RifUndoTest, UndoThatCouldNotWriteAFolderCanBeTriedAgain) {
    write("site/a.txt", "old a\n");
    write("site/locked/b.txt", "old b\n");
    fs::create_directories(at("bak"));
    ASSERT_EQ(rif({"-q", "-b", "bak", "old", "new", "site"}).status, 0);
    fs::permissions(at("site/locked"), fs::perms(0555));
    const Result first = rif({"--undo", "bak"});
    EXPECT_EQ(first.status, 3);
    EXPECT_NE(first.err.find("1 files restored, 1 left alone"), std::string::npos) << first.err;
    // The reason names the system's refusal, not a stale error of an earlier call.
    EXPECT_NE(first.err.find("b.txt: error: left alone: it could not be written safely: Permission denied"),
              std::string::npos)
        << first.err;
    EXPECT_EQ(read("site/locked/b.txt"), "new b\n");

    fs::permissions(at("site/locked"), fs::perms(0755));
    const Result second = rif({"--undo", "bak"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, at("site/locked/b.txt") + ": restored\n");
    EXPECT_EQ(read("site/a.txt"), "old a\n");
    EXPECT_EQ(read("site/locked/b.txt"), "old b\n");
    EXPECT_EQ(rif({"--undo", "bak"}).status, 1);
}

TEST_F(RifUndoTest, JournalNotTheUsersOwnOrNotForThisFolderIsRefused) {
    write("site/a.txt", "old\n");
    fs::create_directories(at("bak"));
    ASSERT_EQ(rif({"-q", "-b", "bak", "old", "new", "site"}).status, 0);
    const std::string journal = "bak/.replace-in-files-journal";

    // Copied into another folder, it would write that folder's copies over this site.
    ASSERT_EQ(shell("cp -a bak other"), 0);
    const Result copied = rif({"--undo", "other"});
    EXPECT_EQ(copied.status, 2);
    EXPECT_NE(copied.err.find("not written for this backup folder"), std::string::npos) << copied.err;

    // Others may write the folder or the journal: anyone could have forged its entries.
    fs::permissions(at("bak"), fs::perms(0777));
    const Result open = rif({"--undo", "bak"});
    EXPECT_EQ(open.status, 2);
    EXPECT_NE(open.err.find("the backup folder belongs to another user, or others may write it"), std::string::npos)
        << open.err;
    fs::permissions(at("bak"), fs::perms(0755));
    fs::permissions(at(journal), fs::perms(0602));
    EXPECT_EQ(rif({"--undo", "bak"}).status, 2);
    fs::permissions(at(journal), fs::perms(0600));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(at(journal).c_str(), 65534, 65534), 0);
        const Result foreign = rif({"--undo", "bak"});
        EXPECT_EQ(foreign.status, 2);
        EXPECT_NE(foreign.err.find("the journal belongs to another user"), std::string::npos) << foreign.err;
        ASSERT_EQ(::chown(at(journal).c_str(), 0, 0), 0);
    }
    EXPECT_EQ(read("site/a.txt"), "new\n");
    EXPECT_EQ(rif({"--undo", "bak"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "old\n");
}

TEST_F(RifUndoTest, UndoOfAJournalWithoutItsClosingLineSaysTheRunDidNotFinish) {
    write("site/a.txt", "old a\n");
    write("site/b.txt", "old b\n");
    fs::create_directories(at("bak"));
    ASSERT_EQ(rif({"-q", "-j", "1", "-b", "bak", "old", "new", "site"}).status, 0);
    // The last entry and the closing line deleted.
    const std::string journal = at("bak/.replace-in-files-journal");
    std::string bytes = slurp(journal);
    ASSERT_NE(bytes.find("\nend 2 "), std::string::npos);
    bytes.erase(bytes.rfind('\n', bytes.rfind('\n', bytes.size() - 2) - 1) + 1);
    std::ofstream(journal, std::ios::binary | std::ios::trunc) << bytes;

    const Result r = rif({"--undo", "bak"});
    EXPECT_NE(r.err.find("did not finish (or its journal was cut short); the journal names 1 file"), std::string::npos)
        << r.err;
    EXPECT_EQ(read("site/a.txt"), "old a\n");
    EXPECT_EQ(read("site/b.txt"), "new b\n");
}

TEST_F(RifUndoTest, FileWithHardLinksIsLeftAloneWithItsReason) {
    write("site/a.txt", "old\n");
    ASSERT_EQ(::link(at("site/a.txt").c_str(), at("elsewhere.txt").c_str()), 0);
    const Result r = rif({"old", "new", "site"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("site/a.txt: error: it has other names (hard links), which would keep the old text"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(read("site/a.txt"), "old\n");
    EXPECT_EQ(read("elsewhere.txt"), "old\n");
}

}  // namespace
