#pragma once
// The files a run has reached, known by device and inode, so that a file reached under two
// names (a symbolic link to it, another hard link) is read and written once: under the name
// that comes first in the run's list, however many threads work through the list at once.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unordered_map>

class ReachedFiles {
public:
    // The file opened for the entry at index of the list (null when none could be opened).
    // Every index is reached (once more with null changes nothing). False when an earlier
    // entry reached the file or wrote it already: it is not the entry's to handle. True
    // leaves the question open until isFirst, since an earlier entry not reached yet may
    // still turn out to be the same file; this does not wait for the earlier entries, so
    // that threads working on neighbouring entries do not hold one another up.
    bool reach(size_t index, const struct stat* file);
    // reach for several entries at once (one meeting with the other threads): files[i] for
    // indices[i]; first[i] gets what reach gives.
    void reachAll(const size_t* indices, const struct stat* const* files, bool* first, size_t count);
    // Whether the entry at index, which reached file, is the file's first name in the list:
    // waits until every earlier index has been reached. Asked before the entry changes the
    // file, or reports it in any way other than unchanged.
    bool isFirst(size_t index, const struct stat& file);
    // Every index below end counts as reached (the entries a stopped run never began), so
    // that a later list of the same session does not wait for them.
    void reachAllBelow(size_t end);
    // The new file the entry at index is written as, known before it takes the old file's
    // place: a later name of it is the same file.
    void wrote(size_t index, const struct stat& file);

private:
    struct Identity {
        dev_t device;
        ino_t inode;
        bool operator==(const Identity&) const = default;
    };
    struct IdentityHash {
        size_t operator()(const Identity& id) const {
            return std::hash<ino_t>()(id.inode) ^ (std::hash<dev_t>()(id.device) * 0x9E3779B97F4A7C15ull);
        }
    };
    // Keeps the earliest entry that reached or wrote the file.
    void note(size_t index, const struct stat& file);
    // reach with the mutex held; true when reachedBelow_ moved.
    bool reachLocked(size_t index, const struct stat* file, bool& first);

    std::mutex mutex_;
    std::condition_variable progressed_;
    std::unordered_map<Identity, size_t, IdentityHash> first_;
    size_t reachedBelow_ = 0;  // every index below this has been reached
    std::set<size_t> reachedAhead_;  // indices above reachedBelow_ reached already
};

// The claim of one entry of a run's list on its place in the order: its index is reached
// exactly once, by reach() or, whatever happens before (an exception included), when the
// claim goes, so that the entries after it never wait for it forever.
class ReachClaim {
public:
    ReachClaim(ReachedFiles& files, size_t index) : files_(files), index_(index) {}
    ~ReachClaim() {
        if (!reached_) files_.reach(index_, nullptr);
    }
    ReachClaim(const ReachClaim&) = delete;
    ReachClaim& operator=(const ReachClaim&) = delete;

    // As ReachedFiles::reach for this entry; only the first call counts.
    bool reach(const struct stat* file) {
        if (reached_) return false;
        const bool first = files_.reach(index_, file);
        reachedWith(file);
        return first;
    }
    // Notes that the entry was reached with file through ReachedFiles::reachAll.
    void reachedWith(const struct stat* file) {
        reached_ = true;
        if (file != nullptr) {
            file_ = *file;
            withFile_ = true;
        }
    }
    size_t index() const { return index_; }
    // As ReachedFiles::isFirst for the file reached; true for an entry that reached none.
    bool isFirst() { return !withFile_ || files_.isFirst(index_, file_); }

private:
    ReachedFiles& files_;
    size_t index_;
    bool reached_ = false;
    bool withFile_ = false;
    struct stat file_ = {};
};
