#pragma once
// The interface language: the text of a key, and the language files that replace the
// built-in texts.

#include <string_view>

#include "engine/text.h"

// The current text of a key; the empty text for a key the current texts don't hold.
Text text(std::string_view key);

// A language name as the selector shows it: all lower case, then the first character upper
// case ("RUSSIAN" and "russian" both give "Russian"; the empty name stays empty).
Text normaliseLanguageName(TextView name);

// Fills the language selector from the language folder and applies the stored language.
void discoverLanguages();
// Applies the language chosen in the selector to every text of the window.
void applyLanguage();
