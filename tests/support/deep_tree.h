#pragma once
// Trees deeper than a path can name (PATH_MAX): made and removed one folder at a time,
// relative to descriptors, since no call that takes a whole path reaches their bottom.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace deep_tree {

// Makes levels nested folders, each named folderName, in folder, and in the deepest a file
// named fileName holding bytes. Returns the file's path below folder; empty on failure.
inline std::string make(const std::string& folder, const std::string& folderName, int levels,
                        const std::string& fileName, const std::string& bytes) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::string relative;
    for (int level = 0; level < levels && fd >= 0; ++level) {
        if (::mkdirat(fd, folderName.c_str(), 0755) != 0) {
            ::close(fd);
            return std::string();
        }
        const int next = ::openat(fd, folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        relative += folderName + "/";
    }
    if (fd < 0) return std::string();
    const int file = ::openat(fd, fileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    ::close(fd);
    if (file < 0) return std::string();
    const bool written = ::write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    ::close(file);
    return written ? relative + fileName : std::string();
}

// Removes the entry name of the folder open at parent, with everything below it.
inline void removeAt(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parent, name, 0);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string entryName = entry->d_name;
        if (entryName != "." && entryName != "..") names.push_back(entryName);
    }
    for (const std::string& entryName : names) removeAt(::dirfd(dir), entryName.c_str());
    ::closedir(dir);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// Removes a deep tree when it goes: the entry name of folder, with everything below it
// (std::filesystem::remove_all works by whole paths and fails on such a tree).
class Removal {
public:
    Removal(std::string folder, std::string name) : folder_(std::move(folder)), name_(std::move(name)) {}
    ~Removal() {
        const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) return;
        removeAt(fd, name_.c_str());
        ::close(fd);
    }
    Removal(const Removal&) = delete;
    Removal& operator=(const Removal&) = delete;

private:
    std::string folder_;
    std::string name_;
};

}  // namespace deep_tree
