#pragma once
// Backup copies of the files a run is about to change.

#include "engine/text.h"

// Creates the working directory's "reserve/" folder if nothing exists at that path.
void ensureDefaultBackupFolder();
// Copies root + relative to backup + relative, creating the folders below backup it needs.
// True when the copy was made.
bool makeBackup(const Text& root, const Text& relative, const Text& backup);
