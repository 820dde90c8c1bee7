// Not built yet.

#include "ui/main_window.h"

void buildMainWindow() {}
int64_t layoutCallback(int, int64_t, int64_t) { return -522133279; }
