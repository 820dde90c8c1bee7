// User input for tests, delivered to the real widgets through Qt's test functions.

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QDialog>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>
#include <QPalette>
#include <QWheelEvent>
#include <QWindow>

#include "ui/toolkit/qt_binding.h"
#include "ui/toolkit/toolkit_testing.h"

namespace tk::testing {
using namespace binding;

namespace {
// Where a click on the gadget lands: the viewport for scrolling views.
QWidget* clickTarget(QWidget* widget) {
    if (auto* view = qobject_cast<QAbstractScrollArea*>(widget)) return view->viewport();
    return widget;
}
}  // namespace

void clickGadgetAt(Gadget gadget, int x, int y) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    // The click lands on whatever is drawn at that point: a child in the gadget's face
    // (a hosted check box, a panel's tab bar, a view's viewport) takes it, as for a person.
    QWidget* target = widget->childAt(x, y);
    if (!target) target = clickTarget(widget);
    QPoint local = target->mapFrom(widget, QPoint(x, y));
    QCursor::setPos(target->mapToGlobal(local));
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, local);
}

void clickGadget(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    clickGadgetAt(gadget, widget->width() / 2, widget->height() / 2);
}

void rightClickGadget(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    QWidget* target = clickTarget(widget);
    QPoint local(target->width() / 2, target->height() / 2);
    QCursor::setPos(target->mapToGlobal(local));
    QTest::mouseClick(target, Qt::RightButton, Qt::NoModifier, local);
}

void rightClickGadgetAt(Gadget gadget, int x, int y) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    QWidget* target = clickTarget(widget);
    QPoint local = target->mapFrom(widget, QPoint(x, y));
    QCursor::setPos(target->mapToGlobal(local));
    QTest::mouseClick(target, Qt::RightButton, Qt::NoModifier, local);
}

void pressTab(bool shift, bool control) {
    QWidget* window = state().window;
    if (!window) return;
    window->activateWindow();
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    if (shift) modifiers |= Qt::ShiftModifier;
    if (control) modifiers |= Qt::ControlModifier;
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, shift ? Qt::Key_Backtab : Qt::Key_Tab, modifiers);
}

Text accessibleName(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    QAccessibleInterface* face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    return face ? fromQString(face->text(QAccessible::Name)) : Text();
}

Text accessibleRowDescription(Gadget list, int row) {
    QWidget* widget = widgetOf(list);
    QAccessibleInterface* face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    QAccessibleTableInterface* table = face ? face->tableInterface() : nullptr;
    QAccessibleInterface* cell = table ? table->cellAt(row, 1) : nullptr;
    return cell ? fromQString(cell->text(QAccessible::Description)) : Text();
}

Text shownRowToolTip(Gadget list, int row) {
    auto* view = qobject_cast<QTableView*>(widgetOf(list));
    if (!view) return Text();
    return fromQString(view->model()->index(row, 1).data(Qt::ToolTipRole).toString());
}

void activateListRow(Gadget list, int row, bool byKeyboard) {
    auto* view = qobject_cast<QTableView*>(widgetOf(list));
    if (!view) return;
    const QModelIndex index = view->model()->index(row, 1);
    view->scrollTo(index);
    // The rows must be laid out before one can be hit.
    QApplication::processEvents();
    if (byKeyboard) {
        view->setFocus();
        view->setCurrentIndex(index);
        QTest::keyClick(view, Qt::Key_Return);
        return;
    }
    const QPoint centre = view->visualRect(index).center();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

bool saveWindowPicture(const std::string& path) {
    QWidget* window = state().window;
    return window && window->grab().save(QString::fromStdString(path), "PNG");
}

bool saveTextViewPicture(const Text& title, const std::vector<ViewLine>& lines, const std::string& path) {
    std::unique_ptr<QDialog> dialog = buildTextView(title, lines);
    dialog->show();
    QApplication::processEvents();
    return dialog->grab().save(QString::fromStdString(path), "PNG");
}

Text shownCaption(Gadget button) {
    auto* widget = qobject_cast<QPushButton*>(widgetOf(button));
    return widget ? fromQString(widget->text()) : Text();
}

bool offeredToAssistiveTechnology(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    QAccessibleInterface* face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    return face && !face->state().invisible;
}

std::vector<Gadget> shownGadgets() {
    std::vector<Gadget> shown;
    for (auto& [number, r] : state().gadgets) {
        if (!r.widget || r.widget->window() != state().window || !r.widget->isVisible()) continue;
        if (r.kind == Kind::container || r.kind == Kind::scrollArea || r.kind == Kind::panel || r.widget->width() == 0)
            continue;
        shown.push_back(number);
    }
    return shown;
}

void useDarkPalette(bool dark) {
    static const QPalette platform = QApplication::palette();
    if (!dark) {
        QApplication::setPalette(platform);
        return;
    }
    QPalette palette;
    const QColor window(53, 53, 53), base(42, 42, 42), text(235, 235, 235);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    QApplication::setPalette(palette);
}

double shownContrast(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
    const QPalette palette = r->widget->palette();
    QPalette::ColorRole front = QPalette::WindowText, back = QPalette::Window;
    if (r->kind == Kind::editor || r->kind == Kind::list || r->kind == Kind::comboBox || r->kind == Kind::folderTree) {
        front = QPalette::Text;
        back = QPalette::Base;
    } else if (r->kind == Kind::button || r->kind == Kind::imageButton) {
        front = QPalette::ButtonText;
        back = QPalette::Button;
    }
    return contrastRatio(palette.color(front), palette.color(back));
}

double shownRowContrast(Gadget list, int row) {
    GadgetRecord* r = record(list);
    if (!r || !r->listModel) return 0;
    const QModelIndex index = r->listModel->index(row, 1);
    const QVariant front = r->listModel->data(index, Qt::ForegroundRole);
    const QVariant back = r->listModel->data(index, Qt::BackgroundRole);
    const QPalette palette = r->widget->palette();
    return contrastRatio(front.isValid() ? front.value<QColor>() : palette.color(QPalette::Text),
                         back.isValid() ? back.value<QColor>() : palette.color(QPalette::Base));
}

double shownCheckMarkContrast(Gadget list, int row) {
    auto* view = qobject_cast<QTableView*>(widgetOf(list));
    if (!view) return 0;
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QApplication::processEvents();
    const QRect cell = view->visualRect(index);
    const QImage image = view->viewport()->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    // The row's background: the cell's last column of pixels, right of the box.
    const QColor background = image.pixelColor(static_cast<int>((cell.right() - 1) * ratio),
                                               static_cast<int>(cell.center().y() * ratio));
    double best = 1;
    const int size = cell.height();
    for (int y = cell.top(); y < cell.top() + size; ++y) {
        for (int x = cell.left(); x < cell.left() + std::min(size + 4, cell.width() - 2); ++x)
            best = std::max(best, contrastRatio(image.pixelColor(static_cast<int>(x * ratio),
                                                                 static_cast<int>(y * ratio)),
                                                background));
    }
    return best;
}

void turnWheelOver(Gadget gadget, int notches) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    const QPoint local(widget->width() / 2, widget->height() / 2);
    const QPoint global = widget->mapToGlobal(local);
    QCursor::setPos(global);
    QWheelEvent wheel(local, global, QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
}

void moveMouseOver(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    QWidget* target = clickTarget(widget);
    QPoint local(target->width() / 2, target->height() / 2);
    QCursor::setPos(target->mapToGlobal(local));
    QTest::mouseMove(target, local);
}

void moveMouseTo(int screenX, int screenY) {
    QCursor::setPos(screenX, screenY);
    QWidget* under = QApplication::widgetAt(screenX, screenY);
    if (!under) under = state().window;
    if (under) QTest::mouseMove(under, under->mapFromGlobal(QPoint(screenX, screenY)));
}

void pressKey(int key) {
    QWidget* window = state().window;
    if (!window) return;
    window->activateWindow();
    Qt::Key qtKey = key == keyEscape ? Qt::Key_Escape : static_cast<Qt::Key>(key);
    // To the window that has the keyboard, as the platform delivers a key: an open drop-down
    // list or menu, else the main window.
    QWindow* target = QGuiApplication::focusWindow();
    if (QWidget* popup = QApplication::activePopupWidget()) target = popup->windowHandle();
    QTest::keyClick(target ? target : window->windowHandle(), qtKey);
}

void typeText(Gadget gadget, const Text& text) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return;
    widget->setFocus();
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->lineEdit()) widget = combo->lineEdit();
    }
    QTest::keyClicks(widget, toQString(text));
}

void chooseComboItem(Gadget combo, int item) {
    auto* box = qobject_cast<QComboBox*>(widgetOf(combo));
    if (!box || item < 0 || item >= box->count()) return;
    box->setFocus();
    box->setCurrentIndex(item);
    emit box->activated(item);
}

void openComboList(Gadget combo) {
    auto* box = qobject_cast<QComboBox*>(widgetOf(combo));
    if (!box) return;
    box->setFocus();
    box->showPopup();
    QApplication::processEvents();
}

bool comboListIsOpen(Gadget combo) {
    auto* box = qobject_cast<QComboBox*>(widgetOf(combo));
    return box && box->view() && box->view()->isVisible();
}

void chooseTreeFolder(Gadget tree, const Text& path) {
    GadgetRecord* r = record(tree);
    if (!r || r->kind != Kind::folderTree) return;
    QString folder = toQString(path);
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    QModelIndex index = r->folderModel->index(folder);
    if (!index.isValid()) return;
    static_cast<QTreeView*>(r->widget.data())->setCurrentIndex(index);
}

void chooseTab(Gadget panel, int index) {
    GadgetRecord* r = record(panel);
    if (!r || r->kind != Kind::panel) return;
    QTabBar* bar = static_cast<QTabWidget*>(r->widget.data())->tabBar();
    if (index < 0 || index >= bar->count()) return;
    QPoint centre = bar->tabRect(index).center();
    QCursor::setPos(bar->mapToGlobal(centre));
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, centre);
}

void choosePopupMenuItem(int item) {
    auto& s = state();
    auto found = s.menuItems.find(item);
    if (found == s.menuItems.end()) return;
    found->second->trigger();
    if (s.popupMenu) s.popupMenu->hide();
}

bool popupMenuIsOpen() { return state().popupMenu && state().popupMenu->isVisible(); }

void popupMenuPosition(int& x, int& y) {
    x = y = 0;
    if (!state().popupMenu) return;
    QPoint position = state().popupMenu->pos();
    x = position.x();
    y = position.y();
}

void closePopupMenu() {
    if (state().popupMenu) state().popupMenu->hide();
}

bool isProgressBarToAssistiveTechnology(Gadget gadget) {
    QWidget* widget = widgetOf(gadget);
    QAccessibleInterface* face = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    return face && face->role() == QAccessible::ProgressBar;
}

int progressValue(Gadget gadget) {
    auto* bar = qobject_cast<QProgressBar*>(widgetOf(gadget));
    return bar ? bar->value() : -1;
}

int progressMaximum(Gadget gadget) {
    auto* bar = qobject_cast<QProgressBar*>(widgetOf(gadget));
    return bar ? bar->maximum() : -1;
}

Text progressText(Gadget gadget) {
    auto* bar = qobject_cast<QProgressBar*>(widgetOf(gadget));
    return bar ? fromQString(bar->text()) : Text();
}

std::vector<int> windowIconSizes() {
    std::vector<int> sizes;
    if (!state().window) return sizes;
    for (const QSize& size : state().window->windowIcon().availableSizes()) sizes.push_back(size.width());
    return sizes;
}

void clickCloseBox() {
    if (state().window) state().window->close();
}

void dragWindowSize(int width, int height) {
    QWidget* window = state().window;
    if (!window) return;
    QSize minimum = window->minimumSize();
    window->resize(std::max(width, minimum.width()), std::max(height, minimum.height()));
    QCoreApplication::processEvents();
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace tk::testing
