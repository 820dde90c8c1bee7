#pragma once
// The ignore files that decide, during one walk, which files and folders are left out:
// .ignore and .gitignore files of the walked folders and of the folders above them up to
// their repository's top, the repository's info/exclude, and the user's global excludes
// file.

#include <string>
#include <string_view>
#include <vector>

#include "engine/ignore_rules.h"

// What the walk found in a folder's listing that concerns the ignore files.
struct IgnoreFileEntries {
    bool gitignore = false;  // a .gitignore
    bool ignore = false;     // a .ignore
    bool git = false;        // a .git: the folder is the top of a repository
};

// The ignore files of the folders from the outermost one whose files apply (the top of the
// repository the walked folder lies in, else the walked folder) down to the folder the walk
// is in. Paths given to it are "/"-separated and relative to that outermost folder.
//
// Which one decides, as ripgrep does: the .ignore files, the deepest first; then the
// .gitignore files, the deepest first, up to the nearest repository top; then that
// repository's info/exclude; then the global excludes. In each file the last matching
// pattern decides; a pattern starting with "!" keeps a path that files of lower standing
// ignore.
class IgnoreFiles {
public:
    // walkedFolder: the walked folder, links resolved. globalExcludes: the user's global
    // excludes file (empty for none; a file that is missing counts as empty).
    IgnoreFiles(const std::string& walkedFolder, const std::string& globalExcludes);

    // The walked folder's path, with "/" at its end, or empty when it is the outermost
    // folder itself.
    const std::string& walkedFolderPath() const { return walkedFolderPath_; }

    // The walk goes into a folder (the walked folder first). path: its path, with "/" at
    // its end (empty for the outermost folder); descriptor: the folder, open;
    // systemPath: the folder's path as the walk names it, with "/" at its end.
    void enterFolder(std::string_view path, int descriptor, const std::string& systemPath,
                     const IgnoreFileEntries& entries);
    // The walk comes back from the folder it entered last.
    void leaveFolder();

    // Whether the entry of the folder the walk is in whose path is path (its name starting
    // at nameAt) is ignored.
    bool ignores(std::string_view path, size_t nameAt, bool isFolder) const;

private:
    struct Level {
        size_t pathLength;  // bytes of the folder's path (with its final "/")
        IgnorePatterns ignore;
        IgnorePatterns gitignore;
        IgnorePatterns exclude;  // info/exclude, at a repository's top
        bool repositoryTop = false;
    };
    void addLevel(size_t pathLength, std::string ignoreText, std::string gitignoreText, bool repositoryTop,
                  const std::string& topFolder);

    std::vector<Level> levels_;
    IgnorePatterns global_;
    std::string walkedFolderPath_;
    size_t withPatterns_ = 0;  // levels holding any pattern
};
