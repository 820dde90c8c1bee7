// The journal a run with backups keeps, and the undo that reads it: files come back byte
// for byte with their modes; files edited since, missing or without a copy are left alone;
// a run killed at any file is undone exactly; a journal cut short keeps the entries before
// the cut, and one damaged elsewhere is refused whole.

#include "engine/run_journal.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "engine/run.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

class Silent : public RunObserver {
public:
    void fileDone(size_t, const FileReport& report) override { outcomes.push_back(report.outcome); }
    std::vector<FileOutcome> outcomes;
};

// Kills its own process, as kill -9 would, once the file at index is done.
class KillAfter : public RunObserver {
public:
    explicit KillAfter(size_t index) : index_(index) {}
    void fileDone(size_t index, const FileReport&) override {
        if (index == index_) ::kill(::getpid(), SIGKILL);
    }

private:
    size_t index_;
};

class Undone : public UndoObserver {
public:
    void fileDone(size_t, const JournalEntry& entry, const RestoreResult& result) override {
        seen.emplace_back(entry.backup, result.outcome);
    }
    std::vector<std::pair<std::string, RestoreOutcome>> seen;
};

class RunJournalTest : public testing_support::TemporaryFolderTest {
protected:
    void SetUp() override {
        useUtf8Locale();
        TemporaryFolderTest::SetUp();
        top_ = root_;
        site_ = top_ + "site/";
        backup_ = top_ + "backup/";
        fs::create_directories(site_);
        fs::create_directories(backup_);
        row_.search = u"old";
        row_.replacement = u"new";
    }
    // Files by their full paths.
    void write(const std::string& path, const std::string& bytes) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string journalPath() const { return backup_ + std::string(journalName); }

    // Files 0..count-1 below site/, each with "old" in it.
    std::vector<Text> makeFiles(size_t count) {
        std::vector<Text> relatives;
        for (size_t i = 0; i < count; ++i) {
            const std::string relative = "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt";
            write(site_ + relative, "line " + std::to_string(i) + " old\r\n");
            relatives.push_back(textFromUtf8(relative));
        }
        return relatives;
    }
    std::string original(size_t i) const { return "line " + std::to_string(i) + " old\r\n"; }

    // A run on one thread, whose journal lists the files in the run's order.
    std::vector<FileOutcome> run(const std::vector<Text>& relatives) {
        Silent observer;
        RunTotals totals;
        EXPECT_EQ(runOverFiles(textFromUtf8(site_), relatives, row_, RewriteOptions{}, textFromUtf8(backup_), observer,
                               totals, nullptr, 1),
                  RunStart::ran);
        return observer.outcomes;
    }
    UndoTotals undo(Undone& observer) {
        UndoTotals totals;
        EXPECT_EQ(undoRun(backup_, readJournal(backup_), observer, totals), UndoEnd::done);
        return totals;
    }

    std::string top_, site_, backup_;
    PreparedRow row_;
};

TEST_F(RunJournalTest, UndoRestoresBytesAndModesAndIsSpentAfterwards) {
    const std::vector<Text> files = makeFiles(3);
    write(site_ + "plain.txt", "nothing to find\n");
    ::chmod((site_ + "d1/f1.txt").c_str(), 0640);
    ::chmod((site_ + "d2/f2.txt").c_str(), 0604);
    std::vector<Text> all = files;
    all.push_back(u"plain.txt");
    EXPECT_EQ(readJournal(backup_).state, Journal::State::none);

    run(all);
    const Journal journal = readJournal(backup_);
    ASSERT_EQ(journal.state, Journal::State::ready);
    ASSERT_EQ(journal.entries.size(), 3u);  // the file without "old" was not replaced
    EXPECT_EQ(journal.entries[1].path, site_ + "d1/f1.txt");
    EXPECT_EQ(journal.entries[1].backup, "d1/f1.txt");
    EXPECT_EQ(journal.entries[1].written, fingerprintOf("line 1 new\r\n"));
    EXPECT_EQ(read(site_ + "d1/f1.txt"), "line 1 new\r\n");

    Undone undone;
    const UndoTotals totals = undo(undone);
    EXPECT_EQ(totals.restored, 3);
    EXPECT_EQ(totals.leftAlone, 0);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(read(site_ + textToUtf8(files[i])), original(i)) << i;
    struct stat info;
    ASSERT_EQ(::stat((site_ + "d1/f1.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    ASSERT_EQ(::stat((site_ + "d2/f2.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);

    // Spent: a second undo has nothing to do.
    EXPECT_EQ(readJournal(backup_).state, Journal::State::spent);
    Undone again;
    EXPECT_EQ(undo(again).restored, 0);
    EXPECT_TRUE(again.seen.empty());
}

TEST_F(RunJournalTest, FilesEditedSinceMissingOrWithoutCopyAreLeftAloneAndReported) {
    const std::vector<Text> files = makeFiles(5);
    // A link in the set is undone through to its target.
    ASSERT_EQ(::symlink("d0/f3.txt", (site_ + "link.txt").c_str()), 0);
    std::vector<Text> all = files;
    all.erase(all.begin() + 3);
    all.push_back(u"link.txt");
    run(all);
    write(site_ + "d1/f1.txt", "edited by hand\n");
    fs::remove(site_ + "d2/f2.txt");
    fs::remove(backup_ + "d1/f4.txt");

    Undone undone;
    const UndoTotals totals = undo(undone);
    EXPECT_EQ(totals.restored, 2);
    EXPECT_EQ(totals.leftAlone, 3);
    // From the last entry to the first.
    EXPECT_EQ(undone.seen, (std::vector<std::pair<std::string, RestoreOutcome>>{
                               {"link.txt", RestoreOutcome::restored},
                               {"d1/f4.txt", RestoreOutcome::backupMissing},
                               {"d2/f2.txt", RestoreOutcome::missing},
                               {"d1/f1.txt", RestoreOutcome::editedSince},
                               {"d0/f0.txt", RestoreOutcome::restored}}));
    EXPECT_EQ(read(site_ + "d0/f0.txt"), original(0));
    EXPECT_EQ(read(site_ + "d1/f1.txt"), "edited by hand\n");
    EXPECT_EQ(read(site_ + "d1/f4.txt"), "line 4 new\r\n");
    EXPECT_EQ(read(site_ + "d0/f3.txt"), original(3));
    EXPECT_TRUE(fs::is_symlink(site_ + "link.txt"));
}

TEST_F(RunJournalTest, RunKilledAtARandomFileIsUndoneExactly) {
    const size_t count = 40;
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 6; ++attempt) {
        // On one thread, and on several, which may have replaced files after the one told last.
        const unsigned jobs = attempt % 2 == 0 ? 1 : 3;
        const std::vector<Text> files = makeFiles(count);
        const size_t killedAt = std::uniform_int_distribution<size_t>(0, count - 2)(random);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            KillAfter observer(killedAt);
            RunTotals totals;
            runOverFiles(textFromUtf8(site_), files, row_, RewriteOptions{}, textFromUtf8(backup_), observer, totals,
                         nullptr, jobs);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "killed at " << killedAt;

        // Every file up to the one the run was killed after was replaced (on one thread
        // exactly those), and the journal names every file replaced.
        const Journal journal = readJournal(backup_);
        ASSERT_EQ(journal.state, Journal::State::ready) << journal.problem;
        std::set<std::string> replaced;
        for (size_t i = 0; i < count; ++i) {
            if (read(site_ + textToUtf8(files[i])) != original(i)) replaced.insert(textToUtf8(files[i]));
            if (i <= killedAt) {
                EXPECT_TRUE(replaced.contains(textToUtf8(files[i]))) << i;
            }
        }
        if (jobs == 1) {
            ASSERT_EQ(replaced.size(), killedAt + 1);
            for (size_t i = 0; i <= killedAt; ++i) EXPECT_EQ(journal.entries[i].backup, textToUtf8(files[i]));
        }
        // Each thread may have written the entry of a file it had not replaced yet.
        std::set<std::string> named;
        for (const JournalEntry& entry : journal.entries) named.insert(entry.backup);
        EXPECT_TRUE(std::includes(named.begin(), named.end(), replaced.begin(), replaced.end())) << "jobs " << jobs;
        EXPECT_LE(named.size(), replaced.size() + jobs);
        Undone undone;
        const UndoTotals totals = undo(undone);
        EXPECT_EQ(totals.restored, static_cast<int64_t>(replaced.size()));
        EXPECT_EQ(totals.leftAlone, 0);
        for (size_t i = 0; i < count; ++i) EXPECT_EQ(read(site_ + textToUtf8(files[i])), original(i)) << i;
    }
}

// Lines of a journal: each with its line break.
std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = bytes.find('\n', start) + 1;
        lines.push_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

TEST_F(RunJournalTest, EntryCutShortAtTheEndLeavesTheEntriesBeforeIt) {
    const std::vector<Text> files = makeFiles(3);
    run(files);
    // A crash while the last entry was written: only part of it reached the file, and the
    // closing line never did.
    const std::vector<std::string> lines = linesOf(read(journalPath()));
    ASSERT_EQ(lines.size(), 5u);
    ASSERT_TRUE(lines[4].starts_with("end 3 "));
    fs::resize_file(journalPath(), lines[0].size() + lines[1].size() + lines[2].size() + 30);
    const Journal cut = readJournal(backup_);
    ASSERT_EQ(cut.state, Journal::State::ready);
    ASSERT_EQ(cut.entries.size(), 2u);
    EXPECT_FALSE(cut.finished);

    Undone undone;
    const UndoTotals totals = undo(undone);
    EXPECT_EQ(totals.restored, 2);
    EXPECT_EQ(read(site_ + "d0/f0.txt"), original(0));
    EXPECT_EQ(read(site_ + "d1/f1.txt"), original(1));
    EXPECT_EQ(read(site_ + "d2/f2.txt"), "line 2 new\r\n");
    // The cut-off part is gone before the journal is marked spent, so it still reads.
    EXPECT_EQ(readJournal(backup_).state, Journal::State::spent);
}

TEST_F(RunJournalTest, JournalDamagedBeforeItsLastEntryIsRefusedWhole) {
    const std::vector<Text> files = makeFiles(3);
    run(files);
    const std::vector<std::string> good = linesOf(read(journalPath()));
    ASSERT_EQ(good.size(), 5u);
    // A line of another run's journal, whose checksum holds there.
    makeFiles(3);
    run(files);
    const std::vector<std::string> other = linesOf(read(journalPath()));

    struct Damage {
        const char* what;
        std::vector<std::string> lines;
        const char* problem;
    };
    std::string flipped = good[1];
    flipped[10] ^= 1;
    std::string lastFlipped = good[3];
    lastFlipped[10] ^= 1;
    const Damage damages[] = {
        {"a bit of the first entry", {good[0], flipped, good[2], good[3], good[4]}, "line 2 fails its check"},
        {"the first entry lost", {good[0], good[2], good[3], good[4]}, "line 2 is not understood"},
        {"two entries swapped", {good[0], good[2], good[1], good[3], good[4]}, "line 2 is not understood"},
        {"an entry of another run", {good[0], other[1], good[2], good[3], good[4]}, "line 2 fails its check"},
        // Whole, with its line break: not cut short by a crash, but changed.
        {"a bit of the last entry", {good[0], good[1], good[2], lastFlipped}, "line 4 fails its check"},
        // The closing line counts the entries before it.
        {"the last entry lost", {good[0], good[1], good[2], good[4]}, "line 4 is not understood"},
    };
    for (const Damage& damage : damages) {
        makeFiles(3);
        run(files);
        std::string bytes;
        for (const std::string& line : damage.lines) bytes += line;
        write(journalPath(), bytes);
        const Journal journal = readJournal(backup_);
        EXPECT_EQ(journal.state, Journal::State::damaged) << damage.what;
        EXPECT_EQ(journal.problem, damage.problem) << damage.what;
        EXPECT_TRUE(journal.entries.empty());
        Undone undone;
        UndoTotals totals;
        undoRun(backup_, journal, undone, totals);
        EXPECT_TRUE(undone.seen.empty());
        for (size_t i = 0; i < 3; ++i) EXPECT_EQ(read(site_ + textToUtf8(files[i])), "line " + std::to_string(i) + " new\r\n");
    }
}

TEST_F(RunJournalTest, RunThatReplacesNothingKeepsTheLastJournal) {
    const std::vector<Text> files = makeFiles(2);
    run(files);
    // Nothing to find now: the last run's journal stays, and still undoes it.
    write(site_ + "other.txt", "no match\n");
    run({u"other.txt"});
    ASSERT_EQ(readJournal(backup_).entries.size(), 2u);
    // A second run that replaces something starts a journal of its own.
    write(site_ + "third.txt", "old\n");
    run({u"third.txt"});
    const Journal journal = readJournal(backup_);
    ASSERT_EQ(journal.entries.size(), 1u);
    EXPECT_EQ(journal.entries[0].backup, "third.txt");
}

TEST_F(RunJournalTest, FileNamedAsTheJournalIsNotCopiedOverIt) {
    write(site_ + std::string(journalName), "old\n");
    makeFiles(1);
    EXPECT_EQ(run({textFromUtf8(std::string(journalName)), u"d0/f0.txt"}),
              (std::vector<FileOutcome>{FileOutcome::failed, FileOutcome::changed}));
    EXPECT_EQ(read(site_ + std::string(journalName)), "old\n");
    EXPECT_EQ(readJournal(backup_).entries.size(), 1u);
}

// A run whose first file fails after its copy was made (the disk full as the new file is
// written) replaces nothing: the last run's journal stays, with its undo.
TEST_F(RunJournalTest, RunThatFailsAfterItsFirstCopyKeepsTheLastJournal) {
    const std::vector<Text> files = makeFiles(2);
    run(files);
    const uint64_t lastRun = readJournal(backup_).run;
    write(site_ + "other.txt", "old\n");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Room for the copy of the 4 bytes and the journal's first line, not for the new file.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        row_.replacement = Text(8192, u'x');
        ::_exit(run({u"other.txt"}) == std::vector<FileOutcome>{FileOutcome::failed} ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read(site_ + "other.txt"), "old\n");
    EXPECT_EQ(read(backup_ + "other.txt"), "old\n");  // the copy was made
    const Journal journal = readJournal(backup_);
    EXPECT_EQ(journal.run, lastRun);
    EXPECT_TRUE(journal.finished);
    ASSERT_EQ(journal.entries.size(), 2u);
    EXPECT_FALSE(fs::exists(journalPath() + ".new"));
    Undone undone;
    EXPECT_EQ(undo(undone).restored, 2);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(read(site_ + textToUtf8(files[i])), original(i)) << i;
}

}  // namespace
