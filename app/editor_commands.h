#pragma once
// The editors' popup menu commands and the other small commands of the event loop.

#include "ui/toolkit/toolkit.h"

// Remembers the editor, beeps while "Sound" is checked and opens the popup menu one pixel
// up and left of the mouse cursor.
void openPopupMenu(tk::Gadget editor);

// The seven popup menu commands; each acts on the editor the menu was opened on.
void clearAndInsert();    // the whole text becomes the clipboard text
void pasteClipboard();    // the clipboard text replaces the selection
void selectAll();
void copySelection();     // nothing selected: the clipboard keeps what it had
void copyAll();
void keepInBuffer();      // the editor's text goes to its private buffer
void insertFromBuffer();  // the editor's text becomes its private buffer

// The editor's whole text becomes the combo box's current text.
void historyEntryToEditor(tk::Gadget combo, tk::Gadget editor);
// Keeps at least one extension toggle pressed and shows the pressed picture.
void extensionToggle(tk::Gadget toggle);
// Enables the backup folder gadgets while "To do backup copies" is checked.
void backupSwitch();
// Shows the folder selected in the backup tree.
void backupFolderChosen();
