#pragma once
// The main event loop: waits for toolkit events and dispatches each to its command.

#include "ui/toolkit/toolkit.h"

// Runs until the close box is used, or Escape is pressed while "Exit on ESC" is checked.
void runEventLoop();

// Applies the loop's rules to one event of the given kind (the toolkit's current event).
// False when the loop must end after it, also when the window was asked to close while the
// command it started was going on.
bool handleEvent(int kind);

// Asks the loop to end once the command going on returns: the close box used during a run.
void requestClose();

// Whether the mouse cursor is now inside the gadget's rectangle on the screen (left and top
// edges inside, right and bottom edges outside).
bool cursorInsideGadget(tk::Gadget gadget);
// The same, but false for a disabled gadget.
bool cursorInsideEnabledGadget(tk::Gadget gadget);

// Prepares a run button so that the check boxes it hosts report their clicks as their own
// gadget events. Qt delivers clicks on child widgets to the child itself, so nothing has
// to be re-posted; the button only must not take the focus from its check boxes.
void runButtonProc(tk::Gadget runButton);
