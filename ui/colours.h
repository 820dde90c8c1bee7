#pragma once
// The table of named colours. Values have red in the low byte, then green, then blue.

#include <cstdint>
#include <string_view>

#include "core/ordered_map.h"

using ColourMap = OrderedMap<uint32_t>;

// Fills the map with the 32 named colours, in table order.
void fillColourTable(ColourMap& colours);
// The colour of that name in the shared table; 0 (black) for an unknown name.
uint32_t colour(std::string_view name);
