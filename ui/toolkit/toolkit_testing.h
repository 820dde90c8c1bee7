#pragma once
// Input as a user would give it, for tests: clicks, keys and menu choices delivered to the
// real widgets, so that the toolkit turns them into events exactly as for a person.

#include <vector>

#include "ui/toolkit/toolkit.h"

namespace tk::testing {

// Left click in the middle of a gadget (or at x, y inside it).
void clickGadget(Gadget gadget);
void clickGadgetAt(Gadget gadget, int x, int y);
void rightClickGadget(Gadget gadget);
void rightClickGadgetAt(Gadget gadget, int x, int y);
// Moves the mouse cursor over the middle of a gadget (cursorPosition follows).
void moveMouseOver(Gadget gadget);
void moveMouseTo(int screenX, int screenY);
void pressKey(int key);
// Tab, Shift+Tab, Ctrl+Tab and Ctrl+Shift+Tab, delivered to whatever has the focus.
void pressTab(bool shift = false, bool control = false);
void typeText(Gadget gadget, const Text& text);
// Turns the mouse wheel over the middle of a gadget by whole notches (negative: towards
// the user), as a person does without clicking first.
void turnWheelOver(Gadget gadget, int notches);
// Chooses an entry of a combo box as the user does with the drop-down list.
void chooseComboItem(Gadget combo, int item);
// Opens a combo box's drop-down list as a click on its arrow does; whether it is open.
void openComboList(Gadget combo);
bool comboListIsOpen(Gadget combo);
// Selects a folder in a folder tree as the user does.
void chooseTreeFolder(Gadget tree, const Text& path);
// Clicks the tab of a panel's page as the user does.
void chooseTab(Gadget panel, int index);
// Chooses an item of the open popup menu.
void choosePopupMenuItem(int item);
bool popupMenuIsOpen();
void popupMenuPosition(int& x, int& y);
void closePopupMenu();
// The sizes (in pixels, square) at which window 0 carries the program's icon; none when it
// carries no icon of its own.
std::vector<int> windowIconSizes();
// Uses the close box of window 0.
void clickCloseBox();
// Resizes window 0 as dragging its border does (to an inner size).
void dragWindowSize(int width, int height);
// Runs pending platform work (layout, paint) without taking events off the queue.
void settle();

// Puts the whole application on a dark palette (text light on dark) or back on the
// platform's own, as a desktop theme switch does.
void useDarkPalette(bool dark);
// The contrast ratio of a gadget's text as it is painted against what is behind it, and
// of one list row's text against the row's background.
double shownContrast(Gadget gadget);
double shownRowContrast(Gadget list, int row);
// The contrast of a list row's check mark as it is painted: its most distinct pixel against
// the row's background beside the box.
double shownCheckMarkContrast(Gadget list, int row);

// What assistive technology is told of a gadget through the accessibility interface: its
// name, and whether it is offered to the user at all (present and not invisible).
Text accessibleName(Gadget gadget);
// What assistive technology is told of one list row beyond its text (its description), and
// the tool tip the row shows when the mouse rests on it.
Text accessibleRowDescription(Gadget list, int row);
Text shownRowToolTip(Gadget list, int row);
// Activates a list row as a person does: a double click on it, or (byKeyboard) selecting it
// and pressing Enter.
void activateListRow(Gadget list, int row, bool byKeyboard = false);
// Pictures (PNG) of the main window as it is painted now, and of the window showTextView
// opens for these lines; false when the picture cannot be written.
bool saveWindowPicture(const std::string& path);
bool saveTextViewPicture(const Text& title, const std::vector<ViewLine>& lines, const std::string& path);
// The caption a button shows, with the line breaks it was given to fit its width.
Text shownCaption(Gadget button);
bool offeredToAssistiveTechnology(Gadget gadget);
// Whether assistive technology is told that a gadget is a progress bar, and the value and
// text it shows.
bool isProgressBarToAssistiveTechnology(Gadget gadget);
int progressValue(Gadget gadget);
int progressMaximum(Gadget gadget);
Text progressText(Gadget gadget);
// Every gadget of window 0 that is shown now and has a face of its own (not a container).
std::vector<Gadget> shownGadgets();

}  // namespace tk::testing
