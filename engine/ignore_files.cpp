#include "engine/ignore_files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole contents of the file called name in the folder open at folder (AT_FDCWD: name is
// a path); empty when it cannot be read. A link is followed only when followLink.
std::string readFileAt(int folder, const char* name, bool followLink) {
    std::string bytes;
    int fd;
    do {
        fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLink ? 0 : O_NOFOLLOW));
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return bytes;
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            bytes.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(fd);
    return bytes;
}

std::string readFile(const std::string& path, bool followLink) { return readFileAt(AT_FDCWD, path.c_str(), followLink); }

// The first line of text, without its line end and the spaces around it.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.erase(0, 1);
    return line;
}

// The folder that holds the shared part of the repository whose work tree's top is folder
// (no "/" at its end): its .git folder, or, for a linked worktree or a submodule whose .git
// is a file, the folder that file leads to (or that folder's common folder). Empty when
// there is none.
std::string repositoryFolderOf(const std::string& folder) {
    const std::string dotGit = folder + "/.git";
    struct stat info;
    if (::lstat(dotGit.c_str(), &info) != 0) return std::string();
    if (S_ISDIR(info.st_mode)) return dotGit;
    if (!S_ISREG(info.st_mode)) return std::string();
    const std::string pointer = firstLine(readFile(dotGit, false));
    constexpr std::string_view tag = "gitdir:";
    if (pointer.compare(0, tag.size(), tag) != 0) return std::string();
    std::string gitDir = firstLine(pointer.substr(tag.size()));
    if (gitDir.empty()) return std::string();
    if (gitDir.front() != '/') gitDir = folder + "/" + gitDir;
    std::string common = firstLine(readFile(gitDir + "/commondir", true));
    if (common.empty()) return gitDir;
    return common.front() == '/' ? common : gitDir + "/" + common;
}

bool hasGitEntry(const std::string& folder) {
    struct stat info;
    return ::lstat((folder + "/.git").c_str(), &info) == 0;
}

}  // namespace

IgnoreFiles::IgnoreFiles(const std::string& walkedFolder, const std::string& globalExcludes) {
    if (!globalExcludes.empty()) global_ = IgnorePatterns(readFile(globalExcludes, true));
    // The repository's top: the nearest folder, from the walked one up, holding a .git.
    std::string folder = walkedFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string top = folder;
    for (;;) {
        if (hasGitEntry(top)) break;
        const size_t slash = top.find_last_of('/');
        if (top.size() <= 1 || slash == std::string::npos) {
            top.clear();
            break;
        }
        top = slash == 0 ? std::string("/") : top.substr(0, slash);
    }
    if (top.empty() || top == folder) return;
    // The folders above the walked one, from the top down, with their ignore files.
    walkedFolderPath_ = folder.substr(top == "/" ? 1 : top.size() + 1) + "/";
    std::string above = top == "/" ? std::string() : top;
    size_t pathLength = 0;
    for (;;) {
        addLevel(pathLength, readFile(above + "/.ignore", true), readFile(above + "/.gitignore", false),
                 pathLength == 0, above);
        const size_t slash = walkedFolderPath_.find('/', pathLength);
        if (slash + 1 == walkedFolderPath_.size()) break;
        above += "/" + walkedFolderPath_.substr(pathLength, slash - pathLength);
        pathLength = slash + 1;
    }
}

void IgnoreFiles::addLevel(size_t pathLength, std::string ignoreText, std::string gitignoreText, bool repositoryTop,
                           const std::string& topFolder) {
    Level level;
    level.pathLength = pathLength;
    level.ignore = IgnorePatterns(ignoreText);
    level.gitignore = IgnorePatterns(gitignoreText);
    level.repositoryTop = repositoryTop;
    if (repositoryTop) {
        const std::string repository = repositoryFolderOf(topFolder);
        if (!repository.empty()) level.exclude = IgnorePatterns(readFile(repository + "/info/exclude", true));
    }
    if (!level.ignore.empty() || !level.gitignore.empty() || !level.exclude.empty()) ++withPatterns_;
    levels_.push_back(std::move(level));
}

void IgnoreFiles::enterFolder(std::string_view path, int descriptor, const std::string& systemPath,
                              const IgnoreFileEntries& entries) {
    std::string folder = systemPath;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    // Git does not follow a .gitignore that is a symbolic link; ripgrep follows a .ignore.
    addLevel(path.size(), entries.ignore ? readFileAt(descriptor, ".ignore", true) : std::string(),
             entries.gitignore ? readFileAt(descriptor, ".gitignore", false) : std::string(), entries.git, folder);
}

void IgnoreFiles::leaveFolder() {
    const Level& level = levels_.back();
    if (!level.ignore.empty() || !level.gitignore.empty() || !level.exclude.empty()) --withPatterns_;
    levels_.pop_back();
}

bool IgnoreFiles::ignores(std::string_view path, size_t nameAt, bool isFolder) const {
    if (withPatterns_ == 0 && global_.empty()) return false;
    const std::string_view name = path.substr(nameAt);
    for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
        if (level->ignore.empty()) continue;
        const PatternMatch match = level->ignore.match(path.substr(level->pathLength), name, isFolder);
        if (match != PatternMatch::none) return match == PatternMatch::plain;
    }
    size_t topLength = 0;
    const Level* top = nullptr;
    for (auto level = levels_.rbegin(); level != levels_.rend(); ++level) {
        if (!level->gitignore.empty()) {
            const PatternMatch match = level->gitignore.match(path.substr(level->pathLength), name, isFolder);
            if (match != PatternMatch::none) return match == PatternMatch::plain;
        }
        if (level->repositoryTop) {
            top = &*level;
            topLength = level->pathLength;
            break;
        }
    }
    if (top != nullptr && !top->exclude.empty()) {
        const PatternMatch match = top->exclude.match(path.substr(topLength), name, isFolder);
        if (match != PatternMatch::none) return match == PatternMatch::plain;
    }
    return global_.match(path.substr(topLength), name, isFolder) == PatternMatch::plain;
}
