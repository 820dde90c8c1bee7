#pragma once
// The two search rows: their options, the checks before a run, and the Polygon run.

#include "engine/replace.h"

// The live states of row 1's or row 2's three option check boxes.
RowOptions readRowOptions(int row);
// Reads row 1 or row 2 from its gadgets and checks it, in this order: the empty-line option
// without regular expressions (error 5), an empty search text (error 1), a pattern that
// does not compile (error 2 with PCRE2's message); a pattern that compiles goes into
// prepared.pattern. False after the error box on refusal.
bool prepareRow(int row, PreparedRow& prepared);
// Runs row 2 over the text of the Polygon tab's sample editor; the editor is set only when
// something was replaced.
void runSample();
