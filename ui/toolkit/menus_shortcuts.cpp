// The pop-up menu and the window's keyboard shortcuts, both reported as menu events.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QWindow>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

void createPopupMenu() {
    auto& s = state();
    if (s.popupMenu) return;
    s.popupMenu = new QMenu(s.window);
}

void addMenuItem(int item, const Text& text, int image) {
    auto& s = state();
    if (!s.popupMenu) return;
    QAction* action = s.popupMenu->addAction(toQString(text));
    auto found = s.images.find(image);
    if (found != s.images.end()) action->setIcon(QIcon(found->second));
    QObject::connect(action, &QAction::triggered, [item] { queueEvent(menuEvent, 0, 0, item); });
    s.menuItems[item] = action;
}

void addMenuSeparator() {
    if (state().popupMenu) state().popupMenu->addSeparator();
}

void setMenuItemText(int item, const Text& text) {
    auto& items = state().menuItems;
    auto found = items.find(item);
    if (found != items.end()) found->second->setText(toQString(text));
}

Text menuItemText(int item) {
    auto& items = state().menuItems;
    auto found = items.find(item);
    return found == items.end() ? Text() : fromQString(found->second->text());
}

void showPopupMenu(int x, int y) {
    dropHandCursor();
    if (state().popupMenu) state().popupMenu->popup(QPoint(x, y));
}

void addKeyboardShortcut(int key, int item) {
    QWidget* window = state().window;
    if (!window) return;
    Qt::Key qtKey = key == keyEscape ? Qt::Key_Escape : static_cast<Qt::Key>(key);
    auto* shortcut = new QShortcut(QKeySequence(qtKey), window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, [item, main = QPointer<QWidget>(window)] {
        // A key that an open drop-down list, menu or dialog is there for closes only that:
        // the key reaches the window's shortcut only when the window itself has the keyboard.
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
            return;
        }
        const QWindow* focus = QGuiApplication::focusWindow();
        if (QApplication::activeModalWidget() != nullptr ||
            (focus != nullptr && main && focus != main->windowHandle()))
            return;
        queueEvent(menuEvent, 0, 0, item);
    });
}

}  // namespace tk
