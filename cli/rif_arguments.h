#pragma once
// The text arguments of rif read in the user's character set.

#include <string>

#include "cli/rif_options.h"

// Turns SEARCH, REPLACEMENT and --name of settings from the character set of the user's
// locale (localeCharset) into UTF-8; under a UTF-8 locale (and the C locale) they stay the
// bytes given, as texts take them. Paths stay as given. An empty string, or the usage
// error that names an argument whose bytes are not valid in that character set.
std::string decodeArguments(Settings& settings);
