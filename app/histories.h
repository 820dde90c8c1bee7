#pragma once
// The saved texts of the combo boxes: file-name patterns, search texts, replacement texts.

#include "ui/toolkit/toolkit.h"

// Reads the saved entries from the open settings file's selected group.
void loadHistories();
// Writes every entry of the three lists under its key into the open settings file's
// group COMBOBOX (for a settings file that has to be made anew).
void writeHistories();
// Fills every history combo box from its list.
void fillHistoryBoxes();
// The Save and Delete buttons; the button pressed selects the kind and the row.
void saveEntry(tk::Gadget button);
void deleteEntry(tk::Gadget button);
