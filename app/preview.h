#pragma once
// The preview of a run from the Work tab: what row 1 would change in every file of the set,
// written nowhere, and the change view of one file.

// Runs row 1 over the set as "To find and replace" would, writing nothing: each row gets
// the number of places that would change, files that would fail are marked, the counters
// show the files that would change. Escape or the button again stops it.
void previewFiles();
// After a preview: the changes of the file in list row item, in a window of their own.
void showFileChanges(int item);
// The list's counts go: the set or its files are about to change.
void forgetPreview();
