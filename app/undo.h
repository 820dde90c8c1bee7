#pragma once
// The undo of the last run from the Work tab.

// Enables "Undo last run" when the backup folder of the Setting tab holds a run to undo.
void refreshUndoButton();
// Asks, then puts back every file the last run changed that still holds what it wrote:
// those rows are unticked, the files left alone are marked, and the result box counts both.
void undoLastRun();
