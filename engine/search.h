#pragma once
// The two search rows: their options, the checks before a run, and the Polygon run.

#include "engine/replace.h"

// Reads row 1 or row 2 from its gadgets and checks it; false (after an error box) on refusal.
bool prepareRow(int row, PreparedRow& prepared);
// Runs row 2 over the text of the Polygon tab's sample editor.
void runSample();
