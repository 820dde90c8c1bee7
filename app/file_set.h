#pragma once
// The file set: the files the next run on the Work tab searches and changes. Entry i of
// app.filePaths and row i of the file list always describe the same file.

#include "engine/text.h"

// Replaces the set by the accepted files below a folder chosen in a dialog; cancelling the
// dialog keeps the set as it was. Error 4 with the folder when no file is taken.
void addFolder();
// Replaces the set by the files chosen in a file dialog (the first chosen file last); their
// names are split off at the last "/" only.
void addFiles();
// Appends the accepted files below one folder (depth first, each folder's entries sorted
// by name ignoring case) to the set, with paths relative to the root folder. The extension
// toggles and the name filter are read, and the filter compiled, once per call. The backup
// folder of the Setting tab is left out when it lies below the folder, and so is a
// symbolic link whose target lies outside the folder or inside the backup folder.
void walkFolder(const Text& folder);
