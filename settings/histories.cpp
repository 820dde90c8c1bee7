// Not built yet.

#include "settings/histories.h"

void loadHistories() {}
void fillHistoryBoxes() {}
void saveEntry(tk::Gadget) {}
void deleteEntry(tk::Gadget) {}
