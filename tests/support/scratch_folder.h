#pragma once
// A fresh folder of its own in the system's temporary folder, removed with everything in it
// when the object goes (or earlier, by remove()). Needs only the standard library and POSIX,
// so that programs without a test framework (the benchmarks) use it too.

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace testing_support {

class ScratchFolder {
public:
    ScratchFolder() = default;
    ~ScratchFolder() { remove(); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Makes the folder, named prefix-XXXXXX, removing one made before; false, with the
    // reason in errno, when it cannot be made.
    bool make(const std::string& prefix = "test") {
        remove();
        std::error_code error;
        const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
        if (error) {
            errno = error.value();
            return false;
        }
        std::string pattern = (temporary / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) return false;
        path_ = std::filesystem::canonical(pattern, error);
        if (error) {
            std::filesystem::remove(pattern, error);
            path_.clear();
            errno = error.value();
            return false;
        }
        return true;
    }

    // Removes the folder and everything in it, first giving its owner back the permissions
    // tests took away from it or its subfolders; errors are ignored.
    void remove() {
        if (path_.empty()) return;
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::recursive_directory_iterator entry(path_, fs::directory_options::skip_permission_denied, ignored);
        for (; !ignored && entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
            if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
            ignored.clear();
        }
        fs::remove_all(path_, ignored);
        path_.clear();
    }

    // The folder, links resolved; empty when none is made.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace testing_support
