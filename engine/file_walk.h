#pragma once
// The walk of "Add folders": the files below a folder, at any depth, that the extension
// and name rules take, in a fixed order. Version-control metadata is never part of it.
// rif narrows it further, as source-tree tools do: hidden names, ignore files, globs, a
// depth limit; and it may follow links to folders.

#include <cstddef>
#include <cstdint>
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

    // rif's narrower scope; the window's "Add folders" leaves each as it is.
    // Files and folders whose names start with "." are left out.
    bool skipHidden = false;
    // Files and folders that .ignore, .gitignore, the repository's info/exclude or the
    // global excludes file ignore are left out (see IgnoreFiles).
    bool useIgnoreFiles = false;
    // The user's global excludes file, read with useIgnoreFiles (empty for none).
    std::string globalExcludes;
    // gitignore-style globs matched against the path below the walked folder, the last
    // matching one deciding: a file is taken when a glob without "!" matches it, or when none
    // matches and every glob starts with "!"; a folder is not entered when a "!" glob matches
    // it.
    std::vector<std::string> globs;
    // Entries deeper than this are left out; the files of the walked folder are at depth 1.
    size_t maxDepth = SIZE_MAX;
    // Links to folders are followed, wherever they lead (outside the backup folder and
    // version-control metadata); a link to a folder the walk is already inside is not. Links
    // to files are taken wherever they lead, outside those two.
    bool followLinks = false;
};

// What a walk left out, by the rule that left it out (each entry counted once, under the
// first rule that left it out).
struct WalkCounts {
    size_t byExtension = 0;       // files
    size_t byName = 0;            // files
    size_t hidden = 0;            // files and folders
    size_t ignored = 0;           // files and folders
    size_t byGlob = 0;            // files and folders
    size_t beyondDepth = 0;       // folders not entered
    size_t linksToFolders = 0;    // links to folders not followed
    size_t loops = 0;             // links to folders the walk was already inside

    WalkCounts& operator+=(const WalkCounts& other);
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

// True when the name filter of rules compiles (an empty one does); else error, when given,
// receives PCRE2's message.
bool namePatternCompiles(const WalkRules& rules, Text* error = nullptr);

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
// once per walk, and matched by the walk alone. Gives what was left out. The rules of rif's
// scope (hidden names, ignore files, globs, depth, followed links) narrow this further.
WalkCounts walkFolder(const Text& folder, const Text& prefix, const WalkRules& rules, std::vector<Text>& files,
                WalkObserver* observer = nullptr);

// The version-control metadata a path (file-system bytes, relative to the current folder or
// absolute) lies in: the name of the folder among those the walk never enters (".git",
// ".hg", ".svn", ".bzr", "_darcs", "CVS") that is one of its folders, as written or once
// its links are resolved, or ".git" when it is itself named .git (a folder, a worktree's
// file or a link). Empty when it lies in none. The last part of a path counts under the
// other names only when it is a folder.
std::string versionControlMetadataOf(const std::string& path);
