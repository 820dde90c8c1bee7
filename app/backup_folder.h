#pragma once
// The default backup folder in the working directory.

// Creates the working directory's "reserve/" folder if nothing exists at that path (error
// 0 with the path when it cannot be created).
void ensureDefaultBackupFolder();
