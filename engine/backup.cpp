// Not built yet.

#include "engine/backup.h"

void ensureDefaultBackupFolder() {}
bool makeBackup(const Text&, const Text&, const Text&) { return false; }
