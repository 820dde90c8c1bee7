#pragma once
// The journal of a run with backup copies, kept in the backup folder beside the copies:
// which files the run replaced, where their copies are, and what it wrote into each. The
// undo of the run reads it to put the copies back, and only into files that still hold
// what the run wrote.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/file_rewrite.h"

// The journal's name in the backup folder.
inline constexpr std::string_view journalName = ".replace-in-files-journal";

// One file the run replaced: its path (absolute, file-system bytes), its backup copy's path
// below the backup folder, the fingerprint of the bytes the run wrote into it and that of
// the copy it made. Entries are numbered from 1 in the order written.
struct JournalEntry {
    uint64_t number = 0;
    std::string path;
    std::string backup;
    Fingerprint written;
    Fingerprint copied;
};

// One run or undo at a time in a backup folder: an exclusive lock (flock) on the folder,
// taken without waiting and held until the object goes. A folder that cannot be opened
// (missing) gives no lock, and no refusal either: the copies into it fail on their own.
class BackupFolderLock {
public:
    enum class State { held, busy, unavailable };
    explicit BackupFolderLock(const std::string& backupFolder);
    ~BackupFolderLock();
    BackupFolderLock(const BackupFolderLock&) = delete;
    BackupFolderLock& operator=(const BackupFolderLock&) = delete;
    State state() const { return state_; }

private:
    int fd_ = -1;
    State state_ = State::unavailable;
};

// Writes the journal of one run, for any number of threads at once. The new journal is
// made beside the last run's and takes its place only when the run is about to replace its
// first file: a run that replaces nothing keeps the last run's journal, and so its undo.
// Each entry goes into the file with one write, with its own checksum, before the file it
// describes is renamed into place; so at any moment, a crash included, the journal names
// every file the run has replaced (and at most one more per thread, which still holds its
// old bytes and which the undo leaves alone). A run that ends writes a closing line with
// the number of its entries.
class RunJournal {
public:
    // backupFolder with or without its final "/".
    explicit RunJournal(std::string backupFolder);
    // Ends the journal (see finish).
    ~RunJournal();
    RunJournal(const RunJournal&) = delete;
    RunJournal& operator=(const RunJournal&) = delete;

    // Takes the backup folder's lock for as long as the journal lives; false when another
    // run or undo holds it. Taking it again changes nothing.
    bool lockFolder();
    // Called before the copy of the file whose copy goes to backup (below the backup folder)
    // is made: false when the file must be left alone, because the journal cannot be
    // written, or the copy would replace another copy of this run or the journal itself, or
    // would not lie below the folder.
    bool reserve(std::string_view backup);
    // Records the file at path (relative paths are taken from the working folder when the
    // journal was made), whose copy at backup has the fingerprint copied, just before the
    // bytes with the fingerprint written replace it. False when the entry could not be
    // written: the file must then be left alone.
    bool record(std::string_view path, std::string_view backup, const Fingerprint& written,
                const Fingerprint& copied);
    // The run has ended: a journal that took the last one's place gets its closing line; one
    // that did not is removed. Once only; nothing is recorded after it.
    void finish();

private:
    bool begin();
    bool goLive();

    std::mutex mutex_;  // the threads of a run reserve and record at once
    std::string folder_;  // ends with "/"
    std::string workingFolder_;  // relative paths are taken from here; ends with "/"
    std::unique_ptr<BackupFolderLock> lock_;
    int fd_ = -1;
    bool live_ = false;      // the journal has taken the last one's place
    bool finished_ = false;
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
        spent,    // every entry undone already
        damaged,  // not to be trusted: an entry fails its check, the journal was written for
                  // another folder, or another user owns or may write it or its folder
    };
    State state = State::none;
    std::vector<JournalEntry> entries;  // the entries not undone yet
    size_t named = 0;        // entries the journal names, undone ones included
    bool finished = false;   // the run that wrote it ended and closed it
    std::string problem;     // for a damaged journal: what is wrong, in English
    size_t validSize = 0;    // the bytes up to the end of the last line that holds
    uint64_t run = 0;        // the number of the run it describes
};

// Reads the journal of the backup folder. A last line cut short (a crash while it was
// written: it has no line break yet) is left out; any whole line that fails its check makes
// the journal damaged, and so does a journal that was written for another backup folder,
// or that another user owns or may write, or whose folder another user owns or may write
// (a folder the user's own private group may write is fine).
Journal readJournal(const std::string& backupFolder);

// Told of every file as the undo is done with it.
class UndoObserver {
public:
    virtual ~UndoObserver() = default;
    virtual void fileDone(size_t index, const JournalEntry& entry, const RestoreResult& result) = 0;
    // Asked after every file but the last: false stops the undo there; the entries not
    // tried stay for a later undo.
    virtual bool keepGoing() { return true; }
};

struct UndoTotals {
    int64_t restored = 0;   // files that got their backup copy's bytes back
    int64_t leftAlone = 0;  // edited since, missing, without their copy, or not writable
    bool stopped = false;   // the observer stopped the undo before its last entry
};

// How an undo ended.
enum class UndoEnd {
    done,       // every entry was tried, and those put back are marked undone
    notMarked,  // the files were put back, but the journal could not be marked
    busy,       // another run or undo holds the backup folder, or wrote a new journal
                // since it was read: nothing was done
};

// Puts back the files of a ready journal read from backupFolder that still hold what the
// run wrote and whose copies are the ones the run made (see restoreFromBackup), from the
// last entry to the first, holding the folder's lock. Each entry put back (or found put
// back) is marked undone in the journal; an entry left alone stays, for a later undo.
UndoEnd undoRun(const std::string& backupFolder, const Journal& journal, UndoObserver& observer, UndoTotals& totals);
