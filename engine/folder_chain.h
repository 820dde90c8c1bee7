#pragma once
// The folders a walk is inside, each opened relative to the one above it.

#include <cstddef>
#include <string>
#include <vector>

// The folders from the walked folder down to the one the walk is in, each known by its name
// in the folder above it. A folder is opened relative to the one above it, so that no path
// handed to the system grows with the depth: files below paths longer than PATH_MAX are
// reached too. At most heldFolders of them keep their descriptors open (a process may hold
// only so many, and a tree may be deeper than that); the shallowest is closed first, and
// opened again, name by name from the nearest open folder above it, when the walk comes
// back to it and needs it.
class FolderChain {
public:
    // The walked folder, reached through links if need be.
    explicit FolderChain(const std::string& root);
    ~FolderChain();
    FolderChain(const FolderChain&) = delete;
    FolderChain& operator=(const FolderChain&) = delete;

    // The descriptor of the folder the walk is in, open for reading its entries from the
    // first; -1 when it could not be opened. Only right after it was entered: its
    // descriptor may be closed later (descriptor() opens it again).
    int deepest() const { return levels_.back().fd; }

    // Goes into the sub-folder name of the folder the walk is in (through a symbolic link
    // only when throughLink); name must stay valid until leave(). False, and nothing
    // changed, when it cannot be opened.
    bool enter(const char* name, bool throughLink = false);

    // Back to the folder above.
    void leave();

    // The descriptor of the folder the walk is in, opened again if it was closed; -1 when
    // that fails.
    int descriptor();

private:
    static constexpr size_t heldFolders = 64;

    struct Level {
        const char* name;  // in the folder above (null for the walked folder)
        int fd;            // -1 while closed
        bool throughLink;  // entered through a symbolic link
    };

    // Makes fd, open on the folder of level (the deepest), its descriptor.
    void take(Level& level, int fd);
    void close(Level& level);
    // Closes the shallowest open folder but the walked folder (which could not be opened
    // again by name) and the deepest.
    void closeShallowest();

    std::vector<Level> levels_;
    size_t held_ = 0;       // levels with an open descriptor
    size_t firstHeld_ = 1;  // every level in [1, firstHeld_) is closed
};
