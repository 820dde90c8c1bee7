#pragma once
// The run over a list of files: find and replace in each, with backup copies, telling an
// observer what became of every file. Knows nothing of who shows it.

#include <cstdint>
#include <vector>

#include "engine/file_rewrite.h"
#include "engine/replace.h"
#include "engine/run_journal.h"

// Told of every file as the run is done with it.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // The run goes ahead: its checks are passed, no file is touched yet.
    virtual void started() {}
    // The file at index of the list: what became of it, and (for "changed") how many
    // places were replaced. rewriter still holds the file's texts (see FileRewriter).
    virtual void fileDone(size_t index, FileOutcome outcome, const FileRewriter& rewriter) = 0;
    // Asked after every file: false stops the run there (the files after it are not read).
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
};

// Runs row (its regular expression, if any, compiled in the rowPattern slot) over root +
// every relative path, in order. With a backup folder (not empty) each file is copied there
// under its relative path before it is written, and recorded in the run's journal there
// (journal, or one of the run's own) before it is replaced; a copy or an entry that fails
// leaves the file alone ("failed"). A run whose backup folder holds files of the list
// touches nothing. Several runs that share a journal are undone together.
RunStart runOverFiles(const Text& root, const std::vector<Text>& relatives, const PreparedRow& row,
                      const RewriteOptions& options, const Text& backupFolder, RunObserver& observer,
                      RunTotals& totals, RunJournal* journal = nullptr);
