#include "engine/backup.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

#include "engine/file_rewrite.h"
#include "engine/real_path.h"

namespace {

// What the check needs of one folder of the set: whether it lies in the backup folder, and
// the names of its entries that are symbolic links (read from one listing of the folder,
// not from a status call per file).
struct FolderFacts {
    bool inBackup = false;
    std::unordered_set<std::string> links;
};

FolderFacts factsOf(const std::string& folder, const std::string& backup) {
    FolderFacts facts;
    const std::string resolved = resolvedPath(folder);
    facts.inBackup = !resolved.empty() && pathIsWithin(resolved, backup);
    if (facts.inBackup) return facts;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return facts;
    while (const dirent* entry = readdir(dir)) {
        struct stat info;
        if (entry->d_type == DT_LNK ||
            (entry->d_type == DT_UNKNOWN && fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
             S_ISLNK(info.st_mode)))
            facts.links.insert(entry->d_name);
    }
    closedir(dir);
    return facts;
}

}  // namespace

bool backupFolderHoldsFilesOf(const Text& backup, const Text& root, const std::vector<Text>& relatives) {
    const std::string backupPath = resolvedPath(textToUtf8(backup));
    if (backupPath.empty()) return false;
    const std::string rootPath = textToUtf8(root);
    const std::string resolvedRoot = resolvedPath(rootPath);
    if (!resolvedRoot.empty() && pathIsWithin(resolvedRoot, backupPath)) return true;
    std::unordered_map<std::string, FolderFacts> folders;
    std::string path;
    for (const Text& relative : relatives) {
        path = rootPath;
        appendTextToUtf8(relative, path);
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
        auto known = folders.find(folder);
        if (known == folders.end()) known = folders.emplace(folder, factsOf(folder, backupPath)).first;
        const FolderFacts& facts = known->second;
        if (facts.inBackup) return true;
        // A link among the files is followed by the run, so its target counts.
        if (!facts.links.empty() && facts.links.count(path.substr(slash + 1)) != 0) {
            const std::string target = resolvedPath(path);
            if (!target.empty() && pathIsWithin(target, backupPath)) return true;
        }
    }
    return false;
}

BackupCopier::BackupCopier(const Text& root, const Text& backup)
    : root_(textToUtf8(root)), backup_(textToUtf8(backup)) {
    if (!backup_.empty() && backup_.back() != '/') backup_ += '/';
}

BackupCopier::~BackupCopier() { closeFolder(); }

void BackupCopier::closeFolder() {
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = -1;
    folders_.clear();
}

namespace {

// A descriptor of the folder name inside the folder at, made when it is missing; -1 when
// name is a link or anything but a folder, or cannot be made.
int openFolderBelow(int at, const std::string& name) {
    if (name.empty() || name == "." || name == "..") return -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd;
        do {
            fd = ::openat(at, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            struct stat info;
            if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return fd;
            ::close(fd);
            return -1;
        }
        // A folder made by someone else in between is fine: it is opened as it is.
        if (errno != ENOENT || attempt > 0 || (::mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST))
            return -1;
    }
    return -1;
}

}  // namespace

int BackupCopier::folderFor(std::string_view folders) {
    if (folderFd_ >= 0 && folders == folders_) return folderFd_;
    closeFolder();
    int fd;
    do {
        // The backup folder itself may be a link: it is the user's choice.
        fd = ::open(backup_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    size_t from = 0;
    while (fd >= 0 && from < folders.size()) {
        const size_t slash = folders.find('/', from);
        const int below = openFolderBelow(fd, std::string(folders.substr(from, slash - from)));
        ::close(fd);
        fd = below;
        from = slash + 1;
    }
    if (fd < 0) return -1;
    folderFd_ = fd;
    folders_.assign(folders);
    return folderFd_;
}

bool BackupCopier::copy(const Text& relative, Fingerprint* copied) {
    const std::string bytes = textToUtf8(relative);
    const size_t slash = bytes.find_last_of('/');
    // Every byte but "/" may stand in a name.
    const std::string_view folders =
        slash == std::string::npos ? std::string_view() : std::string_view(bytes).substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? bytes : bytes.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    const int folder = folderFor(folders);
    return folder >= 0 && copyFileIntoFolder(root_ + bytes, folder, name.c_str(), copied);
}
