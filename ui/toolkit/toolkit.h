#pragma once
// The toolkit layer: one main window (window 0), gadgets addressed by number, a queue of
// events, popup menu, requesters, clipboard, fonts, images and cursors. Everything the
// program shows goes through here; this header names no platform type, so the rest of the
// program builds without the widget library's headers.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tk {

using Text = std::u16string;
using Gadget = int32_t;
using Colour = uint32_t;  // red in the low byte, then green, then blue

constexpr int32_t ignoreValue = -65535;
constexpr int64_t processDefault = -522133279;

// Event kinds.
constexpr int gadgetEvent = 13100;
constexpr int menuEvent = 13110;
constexpr int closeEvent = 13116;
constexpr int leftButtonDown = 0x201;
constexpr int mouseMove = 0x200;
constexpr int rightButtonDown = 0x204;
// Event type of a combo box or folder tree whose content or selection changed.
constexpr int changeType = 768;
// Event type of a list row double-clicked or given Enter (see activatedItem).
constexpr int activateType = 769;

// Window callback message for a size change.
constexpr int sizeMessage = 5;

// Window states.
constexpr int stateNormal = 0;
constexpr int stateMaximised = 0x1000000;
constexpr int stateMinimised = 0x20000000;

// Creation flags.
constexpr int toggleFlag = 0x1003;      // image button that stays pressed
constexpr int textCentre = 0x1;
constexpr int textRight = 0x2;
constexpr int textVCentre = 0x200;
constexpr int textClicks = 0x100;       // a left click is a gadget event
constexpr int comboEditable = 0x42;
constexpr int listCheckBoxes = 0x1;
constexpr int containerBorder = 0x1;
constexpr int treeFoldersOnly = 0x1;
constexpr int treeSorted = 0x40;
constexpr int treeAlwaysShowSelection = 0x1000000;

// Font style bits.
constexpr int fontBold = 0x100;
constexpr int fontItalic = 0x200;
constexpr int fontUnderline = 0x4;
constexpr int fontStrikeOut = 0x8;
constexpr int fontHighQuality = 0x10;

// Gadget attributes.
constexpr int panelItemWidth = 1;
constexpr int panelItemHeight = 2;
constexpr int pressedImage = 2;         // image button: picture shown while pressed
constexpr int scrollAreaX = 3;
constexpr int columnWidth = 1;          // list item attribute

// Colour slots.
constexpr int frontColour = 1;
constexpr int backColour = 2;

// Keys for shortcuts.
constexpr int keyEscape = 27;

// ---- Application and window 0 -------------------------------------------------------

// Starts the widget library; call once before anything else. argv is kept. False, with the
// reason in problem, when there is no display to open a window on.
bool startToolkit(int& argc, char** argv, std::string* problem = nullptr);
// Opens window 0 with the given inner (client) rectangle; false when it cannot be opened.
bool openWindow(int x, int y, int width, int height, const Text& title);
bool windowIsOpen();
void setWindowState(int state);
int windowState();
int windowX();       // inner rectangle, screen coordinates
int windowY();
int windowWidth();   // inner size
int windowHeight();
// Inner-size bounds; ignoreValue keeps a value, -1 removes the limit, above 32000 is 32000.
void windowBounds(int minWidth, int minHeight, int maxWidth, int maxHeight);
// The callback receives window messages (size changes as sizeMessage) before the toolkit.
using WindowCallback = std::function<int64_t(int message, int64_t wParam, int64_t lParam)>;
void setWindowCallback(WindowCallback callback);
void setWindowTitle(const Text& title);
Text windowTitle();
// Releases every gadget, menu, image and the window.
void shutDown();

// ---- Screen -------------------------------------------------------------------------

// Size of the primary screen; false when there is none.
bool desktopSize(int& width, int& height);
int screenDpiY();
// Width of the platform's vertical scroll bar.
int scrollBarWidth();
// The platform's window background colour, and the colour of text on it.
Colour systemWindowColour();
Colour systemTextColour();
// Screen position of the mouse cursor now.
void cursorPosition(int& x, int& y);
// A gadget's rectangle in screen coordinates; false for an unknown gadget.
bool gadgetScreenRect(Gadget gadget, int& x, int& y, int& width, int& height);

// ---- Gadget creation (each returns a fresh non-zero number, or 0) ------------------

Gadget buttonGadget(int x, int y, int width, int height, const Text& text);
Gadget imageButtonGadget(int x, int y, int width, int height, int image, int flags = 0);
Gadget checkBoxGadget(int x, int y, int width, int height, const Text& text);
Gadget textGadget(int x, int y, int width, int height, const Text& text, int flags = 0);
// A progress bar (what assistive technology calls one), empty until setProgress.
Gadget progressBarGadget(int x, int y, int width, int height);
// Shows done of total (total 0: work whose size is not known, shown as busy) with text
// written on the bar.
void setProgress(Gadget gadget, int64_t done, int64_t total, const Text& text);
Gadget editorGadget(int x, int y, int width, int height);
Gadget comboBoxGadget(int x, int y, int width, int height, int flags = 0);
Gadget listGadget(int x, int y, int width, int height, const Text& firstColumnTitle,
                  int firstColumnWidth, int flags = 0);
Gadget panelGadget(int x, int y, int width, int height);
Gadget containerGadget(int x, int y, int width, int height, int flags = 0);
Gadget scrollAreaGadget(int x, int y, int width, int height, int innerWidth, int innerHeight,
                        int step, int flags = 0);
Gadget folderTreeGadget(int x, int y, int width, int height, const Text& startPath, int flags = 0);
// Ends the innermost open container or panel page.
void closeGadgetList();
void freeGadget(Gadget gadget);
bool isGadget(Gadget gadget);
// Moves a gadget into another gadget's face (positions become relative to the host).
void hostGadget(Gadget gadget, Gadget host);
// Marks a gadget the program keeps for itself (the focus sink, the hidden editors): the
// keyboard never reaches it (the program may still give it the focus), assistive
// technology is not offered it, and an editor is hidden (it keeps its text).
void makeServiceGadget(Gadget gadget);
// The name assistive technology reads for a gadget (a screen reader speaks it).
void setGadgetAccessibleName(Gadget gadget, const Text& name);

// ---- Gadget operations (unknown numbers: nothing happens, results are 0 / empty) ----

void setGadgetText(Gadget gadget, const Text& text);
Text getGadgetText(Gadget gadget);
void setGadgetState(Gadget gadget, int state);
int getGadgetState(Gadget gadget);
// position -1 appends. Panel: adds a page and makes it the current gadget list.
void addGadgetItem(Gadget gadget, int position, const Text& text, int image = 0);
// Appends count items, item i as addGadgetItem(gadget, -1, prefix + texts[i]) would; a list
// takes them all in one insertion, which costs far less than one insertion per row.
void addGadgetItems(Gadget gadget, const Text& prefix, const Text* texts, size_t count);
// Appends count rows to a list, row i with an empty first column and texts[from + i] in its
// second, as addGadgetItems(gadget, u"\n", ...) would, but without copying the texts: a row
// reads its text when it is shown or asked for (a text set in the column replaces it). The
// caller keeps texts and those entries as they are (the vector may grow) until the rows are
// cleared.
void addGadgetItemsFrom(Gadget gadget, const std::vector<Text>& texts, size_t from, size_t count);
void removeGadgetItem(Gadget gadget, int position);
void clearGadgetItems(Gadget gadget);
int countGadgetItems(Gadget gadget);
Text getGadgetItemText(Gadget gadget, int item, int column = 0);
void setGadgetItemText(Gadget gadget, int item, const Text& text, int column = 0);
// List rows: check state 1 = ticked.
void setGadgetItemState(Gadget gadget, int item, int state);
int getGadgetItemState(Gadget gadget, int item);
// List rows: colour of one row (slot frontColour or backColour).
void setGadgetItemColour(Gadget gadget, int item, int slot, Colour colour);
Colour getGadgetItemColour(Gadget gadget, int item, int slot);
// List rows: a note on one row, shown as its tool tip and told to assistive technology as
// its description; an empty text takes it away.
void setGadgetItemNote(Gadget gadget, int item, const Text& note);
Text getGadgetItemNote(Gadget gadget, int item);
// Lists have up to three columns: 0 (with the check boxes), 1 and 2, shown once added.
void addGadgetColumn(Gadget gadget, int column, const Text& title, int width);
// Empties one column of every row of a list at once.
void clearGadgetColumn(Gadget gadget, int column);
// The row of the last activateType event.
int activatedItem();
void setGadgetItemAttribute(Gadget gadget, int item, int attribute, int value, int column);
int getGadgetItemAttribute(Gadget gadget, int item, int attribute, int column);
int getGadgetAttribute(Gadget gadget, int attribute);
void setGadgetAttribute(Gadget gadget, int attribute, int value);
void setGadgetColour(Gadget gadget, int slot, Colour colour);
Colour getGadgetColour(Gadget gadget, int slot);
void disableGadget(Gadget gadget, bool disabled);
bool isGadgetDisabled(Gadget gadget);
void hideGadget(Gadget gadget, bool hidden);
bool isGadgetHidden(Gadget gadget);
void resizeGadget(Gadget gadget, int x, int y, int width, int height);
int gadgetX(Gadget gadget);
int gadgetY(Gadget gadget);
int gadgetWidth(Gadget gadget);
int gadgetHeight(Gadget gadget);
void setActiveGadget(Gadget gadget);
Gadget getActiveGadget();
// An empty text removes the tip.
void gadgetToolTip(Gadget gadget, const Text& text);
Text gadgetToolTipText(Gadget gadget);

// Editors: selection in characters from 0; end -1 or past the text means the end.
void setEditorSelection(Gadget editor, int start, int end);
void getEditorSelection(Gadget editor, int& start, int& end);
void replaceEditorSelection(Gadget editor, const Text& text);
Text editorSelectedText(Gadget editor);

// ---- Gadget name registry -----------------------------------------------------------

void registerGadgetName(const std::string& name, Gadget* variable);
Gadget gadgetByName(const std::string& name);

// ---- Fonts, images, cursors ---------------------------------------------------------

int loadFont(const Text& face, int points, int style);
void setDefaultGadgetFont(int font);  // 0 returns to the platform default
// Images from the program's embedded resources (e.g. ":/icons/tab_work.svg") at a square size.
int catchImage(const std::string& resource, int size);
// The bytes of an embedded resource (e.g. ":/sounds/success.wav"); empty when absent.
std::string resourceBytes(const std::string& resource);
void setHandCursor();

// ---- Menus and shortcuts ------------------------------------------------------------

void createPopupMenu();
void addMenuItem(int item, const Text& text, int image = 0);
void addMenuSeparator();
void setMenuItemText(int item, const Text& text);
Text menuItemText(int item);
// Opens the popup menu with its top-left corner at a screen position; returns at once.
void showPopupMenu(int x, int y);
void addKeyboardShortcut(int key, int item);

// ---- Events -------------------------------------------------------------------------

int waitEvent();
int pollEvent();  // 0 when the queue is empty
// Takes every pending event off the queue unhandled, letting the window repaint meanwhile.
void discardPendingEvents();
Gadget eventGadget();
int eventType();
int eventMenu();
void delay(int milliseconds);

// ---- Requesters and clipboard -------------------------------------------------------

void messageBox(const Text& title, const Text& text);
// A read-only view of lines of text in a window of its own, as long as the user keeps it
// open (Escape closes it). Each line is made of parts: plain text, marked text (picked out
// in the palette's highlight colours) or faint text (for signs such as line ends); a line
// is shown as a heading, or as a line before or after a change (in the colours of removed
// and added lines).
enum class PartStyle { plain, marked, faint };
struct ViewPart {
    Text text;
    PartStyle style = PartStyle::plain;
};
enum class LineStyle { heading, before, after };
struct ViewLine {
    LineStyle style = LineStyle::heading;
    std::vector<ViewPart> parts;
};
void showTextView(const Text& title, const std::vector<ViewLine>& lines);

// Asks a question with two buttons: true when the user chose yes; no is the default,
// and Escape or closing the dialog is no.
bool questionBox(const Text& title, const Text& text, const Text& yes, const Text& no);
// Paths of the chosen files: the first is the one the dialog names first. Empty on cancel.
std::vector<Text> openFileRequester(const Text& title, const Text& startPath, const Text& filter,
                                    bool multiple);
// The chosen folder ending in "/", or the empty text on cancel.
Text pathRequester(const Text& title, const Text& startPath);

void setClipboardText(const Text& text);
Text getClipboardText();

// ---- Test hooks ---------------------------------------------------------------------
// When set, requesters and message boxes call these instead of opening a dialog.

using MessageBoxHook = std::function<void(const Text& title, const Text& text)>;
using QuestionBoxHook = std::function<bool(const Text& title, const Text& text)>;
using TextViewHook = std::function<void(const Text& title, const std::vector<ViewLine>& lines)>;
using FileRequesterHook = std::function<std::vector<Text>(const Text& title, const Text& startPath,
                                                          const Text& filter)>;
using PathRequesterHook = std::function<Text(const Text& title, const Text& startPath)>;
void setMessageBoxHook(MessageBoxHook hook);
void setQuestionBoxHook(QuestionBoxHook hook);
void setTextViewHook(TextViewHook hook);
void setFileRequesterHook(FileRequesterHook hook);
void setPathRequesterHook(PathRequesterHook hook);

}  // namespace tk
