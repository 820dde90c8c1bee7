// Not built yet.

#include "engine/search.h"

bool prepareRow(int, PreparedRow&) { return false; }
void runSample() {}
