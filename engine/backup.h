#pragma once
// Backup copies of the files a run is about to change.

#include "engine/text.h"

// Creates the working directory's "reserve/" folder if nothing exists at that path (error
// 0 with the path when it cannot be created).
void ensureDefaultBackupFolder();
// Copies root + relative byte for byte to backup + relative, replacing an earlier copy;
// when that fails, creates the folders of the relative path below backup and tries once
// more. The backup folder itself is never created here. True when the copy was made.
bool makeBackup(const Text& root, const Text& relative, const Text& backup);
