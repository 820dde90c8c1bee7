#pragma once
// The settings file tuning.ini in the working directory.

// Reads the settings into the shared state, or writes a default file when there is none.
void loadSettings();
// Creates tuning.ini with the current state.
void writeDefaultSettings();
// Writes back at exit what changed since start-up.
void saveSettings();
