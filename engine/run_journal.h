#pragma once
// The journal of a run with backup copies, kept in the backup folder beside the copies:
// which files the run replaced, where their copies are, and what it wrote into each. The
// undo of the run reads it to put the copies back, and only into files that still hold
// what the run wrote.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/file_rewrite.h"

// The journal's name in the backup folder.
inline constexpr std::string_view journalName = ".replace-in-files-journal";

// One file the run replaced: its path (absolute, file-system bytes), its backup copy's path
// below the backup folder, and the fingerprint of the bytes the run wrote into it.
struct JournalEntry {
    std::string path;
    std::string backup;
    Fingerprint written;
};

// Writes the journal of one run, for any number of threads at once. Nothing is written until the run is about to make its
// first copy: then the last run's journal is replaced, as the copies replace the last
// copies. Each entry goes into the file with one write, with its own checksum, before the
// file it describes is renamed into place; so at any moment, a crash included, the journal
// names every file the run has replaced (and at most one more, which still holds its old
// bytes and which the undo leaves alone).
class RunJournal {
public:
    // backupFolder with or without its final "/".
    explicit RunJournal(std::string backupFolder);
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Called before the copy of the file whose copy goes to backup (below the backup folder)
    // is made: false when the file must be left alone, because the journal cannot be
    // written, or the copy would replace another copy of this run or the journal itself, or
    // would not lie below the folder.
    bool reserve(std::string_view backup);
    // Records the file at path (relative paths are taken from the working folder), whose
    // copy is at backup, just before the bytes with the fingerprint written replace it.
    // False when the entry could not be written: the file must then be left alone.
    bool record(std::string_view path, std::string_view backup, const Fingerprint& written);

private:
    bool begin();

    std::mutex mutex_;  // the threads of a run reserve and record at once
    std::string folder_;  // ends with "/"
    int fd_ = -1;
    uint64_t run_ = 0;      // the run's number, which seeds the checksums of its entries
    uint64_t entries_ = 0;  // entries written
    bool failed_ = false;
    std::unordered_set<std::string> backups_;
};

// A journal as it was read.
struct Journal {
    enum class State {
        none,     // there is no journal in the folder
        ready,    // entries to undo
        spent,    // undone already, or a run that replaced nothing
        damaged,  // an entry fails its check: nothing of it is to be trusted
    };
    State state = State::none;
    std::vector<JournalEntry> entries;
    std::string problem;  // for a damaged journal: what is wrong, in English
    size_t validSize = 0;  // the bytes up to the end of the last line that holds
    uint64_t run = 0;      // the number of the run it describes
};

// Reads the journal of the backup folder. A last entry cut short (a crash while it was
// written: it has no line break yet) is left out; any whole line that fails its check makes
// the journal damaged.
Journal readJournal(const std::string& backupFolder);

// Told of every file as the undo is done with it.
class UndoObserver {
public:
    virtual ~UndoObserver() = default;
    virtual void fileDone(size_t index, const JournalEntry& entry, RestoreOutcome outcome) = 0;
};

struct UndoTotals {
    int64_t restored = 0;   // files that got their backup copy's bytes back
    int64_t leftAlone = 0;  // edited since, missing, without a copy, or not writable
};

// Puts back every file of a ready journal read from backupFolder that still holds what the
// run wrote (see restoreFromBackup), in the journal's order, and marks the journal spent.
// False when the journal could not be marked spent (the files are put back all the same).
bool undoRun(const std::string& backupFolder, const Journal& journal, UndoObserver& observer, UndoTotals& totals);
