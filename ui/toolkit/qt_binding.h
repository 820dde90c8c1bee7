#pragma once
// Internal to the toolkit: the records that bind gadget numbers to Qt widgets, the event
// queue and the gadget-list stack. Nothing outside ui/toolkit/ includes this header.

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "ui/toolkit/list_model.h"
#include "ui/toolkit/toolkit.h"

class QDialog;
class QMenu;
class QFileSystemModel;

namespace tk::binding {

enum class Kind {
    button, imageButton, checkBox, text, editor, comboBox, list, panel, container,
    scrollArea, folderTree, progressBar
};

struct GadgetRecord {
    Kind kind;
    QPointer<QWidget> widget;   // the gadget's own widget
    QWidget* client = nullptr;  // where its children go (containers, pages)
    ListModel* listModel = nullptr;
    QFileSystemModel* folderModel = nullptr;
    QString selectedFolder;     // folder tree: the selected path
    std::vector<QWidget*> pages;  // panel pages
    QIcon releasedIcon;
    QPixmap pressedPixmap;
    // The colours the program gave the gadget (invalid: the palette's). What is painted may
    // differ: see applyColours.
    QColor wantedFront;
    QColor wantedBack;
    bool service = false;  // kept by the program for itself: see makeServiceGadget
};

// The contrast ratio of two colours as WCAG defines it, from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);
// front itself when it reads on back (a ratio of 4.5 or more), else the nearest colour on
// the way from it to black or white (whichever reads better on back) that does.
QColor readableOn(const QColor& front, const QColor& back);
// Paints a gadget in the colours the program gave it, each text readable on its background
// whatever the palette: a background of the program's own gets a black or white text when
// the program gave no text colour.
void applyColours(GadgetRecord& r);
// applyColours for every gadget, after the palette changed.
void applyAllColours();

// Opens a folder tree at a folder (or, while it does not exist, at its nearest parent).
void selectFolder(GadgetRecord& r, const QString& path);

struct QueuedEvent {
    int kind = 0;
    Gadget gadget = 0;
    int type = 0;
    int menuItem = 0;
};

// A label that can report left clicks.
class ClickLabel : public QLabel {
public:
    ClickLabel(Gadget number, bool reportsClicks, QWidget* parent)
        : QLabel(parent), number_(number), reportsClicks_(reportsClicks) {}

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    Gadget number_;
    bool reportsClicks_;
};

// A push button whose text breaks at spaces into lines when it does not fit the button's
// width on one line: a narrow window or a longer translation never cuts a caption off.
// The gadget's text stays the text the program gave it.
class FittingButton : public QPushButton {
public:
    FittingButton(const QString& text, QWidget* parent);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void fit();
    QString full_;
    bool namedWhole_ = false;  // the accessible name was set to the caption on one line
};

// The window of showTextView, built but not shown.
std::unique_ptr<QDialog> buildTextView(const Text& title, const std::vector<ViewLine>& lines);

struct State {
    QWidget* window = nullptr;
    WindowCallback callback;
    std::map<Gadget, GadgetRecord> gadgets;
    Gadget nextNumber = 1;
    std::deque<QueuedEvent> queue;
    QueuedEvent current;
    // Gadget-list stack: where new gadgets go. panel != 0 marks a panel entry.
    struct ListEntry {
        QWidget* parent;
        Gadget panel;
    };
    std::vector<ListEntry> lists;
    std::map<int, QFont> fonts;
    int nextFont = 1;
    int defaultFont = 0;
    std::map<int, QPixmap> images;
    int nextImage = 1;
    QMenu* popupMenu = nullptr;
    std::map<int, QAction*> menuItems;
    std::map<std::string, Gadget*> names;
    bool handCursorShown = false;
    Gadget lastClicked = 0;  // the gadget of the last mouse press in window 0
    Gadget parkedFocus = 0;  // the service gadget the program gave the focus to
    int programmatic = 0;  // >0 while the program itself changes a gadget
    MessageBoxHook messageBoxHook;
    QuestionBoxHook questionBoxHook;
    TextViewHook textViewHook;
    int activatedRow = -1;
    FileRequesterHook fileRequesterHook;
    PathRequesterHook pathRequesterHook;
};

State& state();
// Puts the platform's own cursor back where the program had set the hand.
void dropHandCursor();
// Tab and Shift+Tab through the visible gadgets of window 0 in reading order: installed
// once when the toolkit starts.
void installKeyboardWalk();
GadgetRecord* record(Gadget gadget);
QWidget* widgetOf(Gadget gadget);
Gadget gadgetOfWidget(const QWidget* widget);
void queueEvent(int kind, Gadget gadget, int type = 0, int menuItem = 0);
QString toQString(const Text& text);
Text fromQString(const QString& text);
QColor toQColor(Colour colour);
Colour fromQColor(const QColor& colour);

// Guards a change made by the program so that widget signals don't become events.
struct ProgrammaticChange {
    ProgrammaticChange() { ++state().programmatic; }
    ~ProgrammaticChange() { --state().programmatic; }
};

}  // namespace tk::binding
