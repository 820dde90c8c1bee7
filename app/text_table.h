#pragma once
// The built-in English text table: every text the interface shows, by key.

#include "ini/ordered_map.h"
#include "engine/text.h"

// Fills the map with the built-in texts, in table order; copy keys take their source's text.
void buildTextTable(TextMap& defaultTexts);
