#pragma once
// The main window's title: the program's name, the version and today's date in the
// current language.

#include <ctime>

#include "engine/text.h"

// Name, "   V 1.4   ", day, two spaces, month name, two spaces, year; for today.
Text composeWindowTitle();
// The same for a given local date (for tests).
Text composeWindowTitle(const std::tm& date);
