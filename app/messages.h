#pragma once
// The error box and the result box of a run.

#include <cstdint>

#include "engine/file_rewrite.h"
#include "engine/text.h"

// How long the result box stays up, in milliseconds. The program shows it for 3000 ms;
// tests set a shorter time so that a run does not wait three seconds.
extern int resultDisplayMilliseconds;

// Why a file of a run was left as it was, and why an undo left a file alone, in the
// chosen language: what a red row says as its tool tip.
Text failureText(const Failure& failure);
Text leftAloneText(RestoreOutcome outcome);

// Error sound, then a modal box titled with the "err" text showing the text of the error
// code (0, 1, 2, 4, 5, 6, 7 or 8). A detail of code 2 is appended as it is; any other detail
// stands on its own line in double quotes.
void showError(int code, const Text& detail);

// The message of the result box: "txt8" + " " + count when files were changed or failed,
// "txt9" when nothing was changed and nothing failed; when some files could not be read or
// changed because of an error, a second line "txt10" + " " + that number. The box has the
// success colours only when files were changed.
// A run that was stopped says so on a first line ("stp2").
Text runResultMessage(int64_t changedCount, int64_t failedCount, bool stopped = false);

// Shows the result box with its colours and sound for resultDisplayMilliseconds, then
// plays the sound again and hides the box.
void showRunResult(int64_t changedCount, int64_t failedCount = 0, bool stopped = false);

// The result box of an undo: "und3" + " " + the files restored, and the "txt10" line for
// the files left alone; the success colours when files were restored.
Text undoResultMessage(int64_t restoredCount, int64_t leftAloneCount, bool stopped = false);
void showUndoResult(int64_t restoredCount, int64_t leftAloneCount, bool stopped = false);
