#pragma once
// The code page of files without a byte-order mark: the Setting tab's selector, the name
// kept in tuning.ini, and the character set a run hands to the engine.

#include <string>

#include "engine/text.h"

// The stored name of the selector's first item: the character set of the user's locale.
inline const Text systemCodePage = u"System";

// A stored name as the program takes it: one of the offered code pages, or "System" for
// any other name.
Text knownCodePage(const Text& name);

// Fills the selector: "System (" + the locale's set + ")", then every legacy code page that
// iconv offers here; the stored choice is selected.
void fillCodePageSelector();

// The stored name of the selector's choice ("System" for the first item).
Text chosenCodePage();

// The character set (an iconv name) of the selector's choice.
std::string chosenCharset();
