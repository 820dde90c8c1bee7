#pragma once
// The file set: the files the next run on the Work tab searches and changes.

#include "engine/text.h"

// Replaces the set by the accepted files below a folder chosen in a dialog.
void addFolder();
// Replaces the set by the files chosen in a file dialog.
void addFiles();
// Appends the accepted files below one folder (depth first) to the set.
void walkFolder(const Text& folder);
