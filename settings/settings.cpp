// Not built yet.

#include "settings/settings.h"

void loadSettings() {}
void writeDefaultSettings() {}
void saveSettings() {}
