#pragma once
// The walk of "Add folders": the files below a folder, at any depth, that the extension
// and name rules take, in a fixed order. Version-control metadata is never part of it.

#include <cstddef>
#include <string>
#include <vector>

#include "engine/text.h"

// What a walk takes.
struct WalkRules {
    // Extensions taken (compared after lower-casing, without the dot); "*" takes every file.
    std::vector<Text> extensions;
    // A regular expression the whole lower-cased name without its extension must match
    // (lower-cased itself); empty for none. One that does not compile takes no file.
    Text namePattern;
    // The backup folder: left out when it lies below the walked folder (empty for none).
    Text backupFolder;
};

// Told of the walk's progress.
class WalkObserver {
public:
    virtual ~WalkObserver() = default;
    // Entries [from, to) of the list were taken since the last call. Called before the walk
    // goes into a folder and when it leaves one.
    virtual void taken(size_t /*from*/, size_t /*to*/) {}
    // The walk came back from a sub-folder; the list holds count entries now.
    virtual void leftFolder(size_t /*count*/) {}
};

// True when the name filter of rules compiles (an empty one does).
bool namePatternCompiles(const WalkRules& rules);

// Appends to files the taken files below folder, depth first, each folder's entries sorted
// by name ignoring letter case (names that differ only in case by their bytes), each as
// prefix + its path below folder. A symbolic link to a folder is not followed; a link to
// a file is taken when its target lies inside folder, outside the backup folder and outside
// version-control metadata; a link that points nowhere is taken (a run reports it). Every
// entry that is not a folder counts as a file. Folders named .git, .hg, .svn, .bzr, _darcs
// or CVS are never entered, and an entry named .git that is not a folder (a worktree's or a
// submodule's pointer to its repository) is never taken. Each folder is opened relative to
// its parent, so files at any depth are listed, also where their whole path is longer than
// the system takes (a run then reports them as unreadable). The name filter is compiled
// into the nameFilter slot of the regex service.
void walkFolder(const Text& folder, const Text& prefix, const WalkRules& rules, std::vector<Text>& files,
                WalkObserver* observer = nullptr);

// The version-control metadata a path (file-system bytes, relative to the current folder or
// absolute) lies in: the name of the folder among those the walk never enters (".git",
// ".hg", ".svn", ".bzr", "_darcs", "CVS") that is one of its folders, as written or once
// its links are resolved, or ".git" when it is itself named .git (a folder, a worktree's
// file or a link). Empty when it lies in none. The last part of a path counts under the
// other names only when it is a folder.
std::string versionControlMetadataOf(const std::string& path);
