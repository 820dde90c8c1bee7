#pragma once
// The interface language: the text of a key, and the language files that replace the
// built-in texts.

#include <string_view>

#include "engine/text.h"

// The current text of a key; the empty text for a key the current texts don't hold.
Text text(std::string_view key);

// Fills the language selector from the language folder and applies the stored language.
void discoverLanguages();
// Applies the language chosen in the selector to every text of the window.
void applyLanguage();
