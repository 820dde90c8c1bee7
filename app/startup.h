#pragma once
// Start-up, the shared state's defaults, and shutdown.

#include "engine/text.h"

// The whole life of the program: start-up, the event loop, saving, shutdown. Always 0.
int runProgram(int argc, char** argv);

// Fills the shared state with its defaults for a working directory (ending in "/") and a
// primary screen of the given size (0 × 0 when there is none).
void initialiseAppState(const Text& workingDirectory, int desktopWidth, int desktopHeight);

// Reads the settings, opens window 0 and builds everything in it. False when the window
// cannot be opened (nothing is built then).
bool openProgramWindow();

// Saves the settings and releases the window and everything in it.
void closeProgramWindow();

// The process's working directory with a final "/".
Text workingDirectory();
