#include "engine/reached_files.h"

void ReachedFiles::note(size_t index, const struct stat& file) {
    const auto [at, added] = first_.try_emplace(Identity{file.st_dev, file.st_ino}, index);
    if (!added && index < at->second) at->second = index;
}

bool ReachedFiles::reachLocked(size_t index, const struct stat* file, bool& first) {
    if (file != nullptr) note(index, *file);
    first = file != nullptr && first_.at(Identity{file->st_dev, file->st_ino}) == index;
    if (index == reachedBelow_) {
        ++reachedBelow_;
        while (!reachedAhead_.empty() && *reachedAhead_.begin() == reachedBelow_) {
            reachedAhead_.erase(reachedAhead_.begin());
            ++reachedBelow_;
        }
        return true;
    }
    if (index > reachedBelow_) reachedAhead_.insert(index);
    return false;
}

bool ReachedFiles::reach(size_t index, const struct stat* file) {
    std::unique_lock lock(mutex_);
    bool first = false;
    if (reachLocked(index, file, first)) progressed_.notify_all();
    return first;
}

void ReachedFiles::reachAll(const size_t* indices, const struct stat* const* files, bool* first, size_t count) {
    std::unique_lock lock(mutex_);
    bool progressed = false;
    for (size_t i = 0; i < count; ++i) progressed = reachLocked(indices[i], files[i], first[i]) || progressed;
    if (progressed) progressed_.notify_all();
}

bool ReachedFiles::isFirst(size_t index, const struct stat& file) {
    std::unique_lock lock(mutex_);
    // An earlier entry not reached yet may still turn out to be this file.
    progressed_.wait(lock, [&] { return reachedBelow_ >= index; });
    return first_.at(Identity{file.st_dev, file.st_ino}) == index;
}

void ReachedFiles::wrote(size_t index, const struct stat& file) {
    const std::lock_guard lock(mutex_);
    note(index, file);
}

void ReachedFiles::reachAllBelow(size_t end) {
    const std::lock_guard lock(mutex_);
    if (end <= reachedBelow_) return;
    reachedBelow_ = end;
    reachedAhead_.erase(reachedAhead_.begin(), reachedAhead_.lower_bound(end));
    while (!reachedAhead_.empty() && *reachedAhead_.begin() == reachedBelow_) {
        reachedAhead_.erase(reachedAhead_.begin());
        ++reachedBelow_;
    }
    progressed_.notify_all();
}
