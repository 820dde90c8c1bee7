// Not built yet.

#include "engine/file_set.h"

void addFolder() {}
void addFiles() {}
void walkFolder(const Text&) {}
