#pragma once
// The settings file tuning.ini in the working directory.

#include <string>

// Its name, relative to the working directory.
inline const std::string settingsFile = "tuning.ini";

// Reads the settings into the shared state, or writes a default file when there is none.
void loadSettings();
// Creates tuning.ini with the current state.
void writeDefaultSettings();
// Writes back at exit what changed since start-up.
void saveSettings();
