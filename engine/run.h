#pragma once
// The run over a list of files: find and replace in each, with backup copies, telling an
// observer what became of every file. Knows nothing of who shows it.

#include <cstdint>
#include <vector>

#include "engine/file_rewrite.h"
#include "engine/replace.h"
#include "engine/run_journal.h"

// What became of one file of a run.
struct FileReport {
    FileOutcome outcome = FileOutcome::unchanged;
    size_t replacements = 0;  // places replaced (0 unless "changed")
    Failure failure;          // why a "failed" or "unreadable" file was left as it was
    // With RewriteOptions::keepOldText, of a file that changed: its text before and after
    // (see FileRewriter::lastOldText).
    Text oldText;
    Text newText;
    // With RewriteOptions::keepBytes, of a file that changed: its bytes as read and as
    // written, or as a dry run would write them (see FileRewriter::takeLastBytes), and the
    // encoding it was read in.
    std::string oldBytes;
    std::string newBytes;
    TextFormat format = TextFormat::ansi;
};

// Told of every file, in the order of the list, on the thread that started the run.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // The run goes ahead: its checks are passed, no file is touched yet.
    virtual void started() {}
    // The file at index of the list, once the run is done with it.
    virtual void fileDone(size_t index, const FileReport& report) = 0;
    // Asked after every file but the last: false stops the run there (the files after it
    // are not begun). A run on several threads finishes the files it has begun: a dry run
    // tells none of them, a real run every one (it may have changed them).
    virtual bool keepGoing() { return true; }
};

struct RunTotals {
    int64_t changed = 0;  // files written back (or that would be, in a dry run)
    int64_t failed = 0;   // files that could not be read, or not changed safely
    int64_t searched = 0;
    bool stopped = false;  // the observer stopped the run before its last file
};

// How a run ended before its first file.
enum class RunStart {
    ran,
    backupOverlap,  // the backup folder holds files of the list (see backupFolderHoldsFilesOf)
    backupBusy,     // another run or undo holds the backup folder
};

// What the runs of one command over several lists share, so that together they act as one
// run: one journal (undone at once, and holding the backup folder's lock throughout), and
// one record of the files reached, so that a file reached under two lists is changed once,
// under the first.
class RunSession {
public:
    explicit RunSession(RunJournal* journal = nullptr) : journal(journal) {}
    RunJournal* const journal;
    ReachedFiles reached;
    size_t nextIndex = 0;  // where the next list's entries begin in reached
};

// The threads a run uses unless told: one per core, at most 8.
unsigned defaultRunJobs();

// Runs row (its regular expression, if any, compiled in row.pattern) over root +
// every relative path. With a backup folder (not empty) each file is copied there under
// its relative path before it is written, and recorded in the run's journal there
// (session's, or one of the run's own) before it is replaced; a copy or an entry that fails
// leaves the file alone ("failed"). A run whose backup folder holds files of the list, or
// whose backup folder another run or undo holds, touches nothing. Several runs of one
// session are undone together, and change a file at most once between them.
// jobs threads (0: defaultRunJobs()) read, replace and write the files at once; whatever
// their number, the files end with the same bytes, and the observer is told the same in
// the same order, as by a run on one thread going through the list in order (a file
// reached under two names is rewritten under the first).
RunStart runOverFiles(const Text& root, const std::vector<Text>& relatives, const PreparedRow& row,
                      const RewriteOptions& options, const Text& backupFolder, RunObserver& observer,
                      RunTotals& totals, RunSession* session = nullptr, unsigned jobs = 0);
