#pragma once
// Backup copies of the files a run is about to change.

#include <string>
#include <vector>

#include "engine/fingerprint.h"
#include "engine/text.h"

// True when a run with backups into the folder backup would overwrite the files it
// changes: backup is the root folder, holds it, or holds a file of the set (links
// resolved). Copies would then land on originals, or the run would change copies. A
// backup folder that does not exist holds nothing (no copy can be made into it).
bool backupFolderHoldsFilesOf(const Text& backup, const Text& root, const std::vector<Text>& relatives);

// Copies the files of one run into the backup folder, under the same relative paths as
// below the root folder, replacing earlier copies. The folders of a relative path are
// made below the backup folder where they are missing, and never passed through when they
// are symbolic links: such a copy is refused. The backup folder itself is never created.
class BackupCopier {
public:
    BackupCopier(const Text& root, const Text& backup);
    ~BackupCopier();
    BackupCopier(const BackupCopier&) = delete;
    BackupCopier& operator=(const BackupCopier&) = delete;

    // True when the copy of root + relative was made; copied is then the fingerprint of
    // its bytes.
    bool copy(const Text& relative, Fingerprint* copied = nullptr);

private:
    // A descriptor of the folder below the backup folder that the relative path's folders
    // name (made where missing); -1 when it cannot be had safely.
    int folderFor(std::string_view folders);
    void closeFolder();

    std::string root_;
    std::string backup_;
    std::string folders_;  // the relative folders folderFd_ is a descriptor of
    int folderFd_ = -1;
};
