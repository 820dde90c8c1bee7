#include "engine/folder_chain.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Opens the folder called name in the folder open at parent (AT_FDCWD: name is a path from
// the current folder) for reading its entries, never through a symbolic link unless
// followLink; -1 when it cannot be opened.
int openFolderAt(int parent, const char* name, bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    int fd;
    do {
        fd = ::openat(parent, name, flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

FolderChain::FolderChain(const std::string& root) {
    levels_.push_back({nullptr, -1, true});
    const int fd = openFolderAt(AT_FDCWD, root.c_str(), true);
    if (fd >= 0) take(levels_.back(), fd);
}

FolderChain::~FolderChain() {
    for (Level& level : levels_) close(level);
}

bool FolderChain::enter(const char* name, bool throughLink) {
    const int parent = descriptor();
    if (parent < 0) return false;
    const int fd = openFolderAt(parent, name, throughLink);
    if (fd < 0) return false;
    levels_.push_back({name, -1, throughLink});
    take(levels_.back(), fd);
    if (held_ > heldFolders) closeShallowest();
    return true;
}

void FolderChain::leave() {
    close(levels_.back());
    levels_.pop_back();
}

int FolderChain::descriptor() {
    const size_t deepest = levels_.size() - 1;
    if (levels_[deepest].fd >= 0) return levels_[deepest].fd;
    if (held_ >= heldFolders) closeShallowest();
    size_t open = deepest;
    while (open > 0 && levels_[open].fd < 0) --open;
    int fd = levels_[open].fd;
    if (fd < 0) return -1;
    for (size_t i = open + 1; i <= deepest; ++i) {
        const int next = openFolderAt(fd, levels_[i].name, levels_[i].throughLink);
        if (i > open + 1) ::close(fd);
        fd = next;
        if (fd < 0) return -1;
    }
    levels_[deepest].fd = fd;
    ++held_;
    firstHeld_ = std::min(firstHeld_, deepest);
    return fd;
}

void FolderChain::take(Level& level, int fd) {
    level.fd = fd;
    ++held_;
    if (levels_.size() > 1) firstHeld_ = std::min(firstHeld_, levels_.size() - 1);
}

void FolderChain::close(Level& level) {
    if (level.fd < 0) return;
    ::close(level.fd);
    level.fd = -1;
    --held_;
}

void FolderChain::closeShallowest() {
    for (size_t i = firstHeld_; i + 1 < levels_.size(); ++i) {
        if (levels_[i].fd < 0) continue;
        close(levels_[i]);
        firstHeld_ = i + 1;
        return;
    }
}
