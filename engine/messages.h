#pragma once
// The error box and the result box of a run.

#include <cstdint>

#include "engine/text.h"

// Error sound, then a modal box titled with the "err" text showing the text of error code
// (with the detail on its own line in double quotes, or appended as is for code 2).
void showError(int code, const Text& detail);
// Shows the result box for 3000 ms: how many files were changed, and, when some could not
// be written, how many.
void showRunResult(int64_t changedCount, int64_t failedCount = 0);
