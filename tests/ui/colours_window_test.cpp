// The table of named colours: every value, the order, and lookups of unknown names.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "app/startup.h"
#include "ui/colours.h"

namespace {

// The colours as web-style RRGGBB numbers, in table order.
const struct { const char* name; uint32_t rrggbb; } webColours[] = {
    {"aqua", 0x00FFFF},   {"aquaM", 0x7FFFD4},  {"beige", 0xF5F5DC},   {"black", 0x000000},
    {"blue", 0x0000FF},   {"coral", 0xFF7F50},  {"crim", 0xDC143C},    {"Dpink", 0xFF1493},
    {"gold", 0xFFD700},   {"green", 0x008000},  {"laven", 0xE6E6FA},   {"lime", 0x00FF00},
    {"Lpink", 0xFFB6C1},  {"Lyellow", 0xFFFFE0}, {"Lblue", 0xB0C4DE},  {"maro", 0x800000},
    {"Mgreen", 0x3CB371}, {"mistR", 0xFFE4E1},  {"navy", 0x000080},    {"oldL", 0xFDF5E6},
    {"peru", 0xCD853F},   {"pink", 0xFFC0CB},   {"plum", 0xDDA0DD},    {"red", 0xFF0000},
    {"Sblue", 0x87CEEB},  {"Sgreen", 0x2E8B57}, {"silver", 0xC0C0C0},  {"teal", 0x008080},
    {"wheat", 0xF5DEB3},  {"white", 0xFFFFFF},  {"whiteS", 0xF5F5F5},  {"yellow", 0xFFFF00},
};

// Stored values have red in the low byte.
uint32_t stored(uint32_t rrggbb) {
    return (rrggbb >> 16 & 0xFF) | (rrggbb & 0xFF00) | (rrggbb & 0xFF) << 16;
}

TEST(ColourTableTest, HoldsTheThirtyTwoColoursInTableOrderWithRedInTheLowByte) {
    ColourMap colours;
    fillColourTable(colours);
    ASSERT_EQ(colours.size(), std::size(webColours));
    size_t i = 0;
    for (const auto& [name, value] : colours) {
        SCOPED_TRACE(webColours[i].name);
        EXPECT_EQ(name, webColours[i].name);
        EXPECT_EQ(value, stored(webColours[i].rrggbb));
        ++i;
    }
}

TEST(ColourTableTest, AquamarineIsStoredAsD4FF7F) {
    ColourMap colours;
    fillColourTable(colours);
    EXPECT_EQ(colours.get("aquaM"), 0xD4FF7Fu);
    EXPECT_EQ(colours.get("mistR"), 0xE1E4FFu);
    EXPECT_EQ(colours.get("Dpink"), 0x9314FFu);
    EXPECT_EQ(colours.get("red"), 0x0000FFu);
    EXPECT_EQ(colours.get("blue"), 0xFF0000u);
}

TEST(ColourTableTest, TheSharedTableAnswersByCaseSensitiveName) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    for (const auto& entry : webColours) {
        EXPECT_EQ(colour(entry.name), stored(entry.rrggbb)) << entry.name;
    }
    EXPECT_EQ(colour("Lyellow"), 0xE0FFFFu);
    EXPECT_EQ(colour("lyellow"), 0u);
    EXPECT_EQ(colour("Blue"), 0u);
    EXPECT_EQ(colour("no such colour"), 0u);
    EXPECT_EQ(colour(""), 0u);
    // Looking up unknown names adds nothing to the table.
    EXPECT_EQ(app.colours.size(), 32u);
}

}  // namespace
