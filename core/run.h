#pragma once
// The run over the file set: find and replace in every file, write back, tick, report.

// Runs row 1 over every file of the set.
void runFiles();
// Disables or enables the Work tab's inputs.
void lockWorkTab(bool disabled);
// Rows marked by an earlier run or undo get the list's own text colour again.
void clearErrorMarks(int rows);
// Unticks every row of the file list.
void clearListChecks();
