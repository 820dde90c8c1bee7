#pragma once
// The main window: three tabs with every gadget, the hidden service gadgets, the popup
// menu, their initial states, and the layout that follows every size change.

#include <cstdint>

// Builds every gadget of window 0 and gives them their initial states.
void buildMainWindow();
// The window callback: lays the gadgets out again on every size change.
int64_t layoutCallback(int message, int64_t wParam, int64_t lParam);
