// Not built yet.

#include "engine/run.h"

void runFiles() {}
void lockWorkTab(bool) {}
void clearListChecks() {}
