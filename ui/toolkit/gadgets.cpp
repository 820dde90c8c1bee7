// The operations on gadgets: texts, states, items, attributes, colours, look, editors.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <cmath>

#include "ui/toolkit/qt_binding.h"

namespace tk {
using namespace binding;

namespace {

// The editor's whole text with CR LF between its lines.
Text editorText(QPlainTextEdit* editor) {
    Text text;
    bool first = true;
    for (QTextBlock block = editor->document()->begin(); block.isValid(); block = block.next()) {
        if (!first) text += u"\r\n";
        first = false;
        text += fromQString(block.text());
    }
    return text;
}

// A program text (CR LF, lone CR or lone LF between lines) for a Qt editor.
QString editorInput(const Text& text) {
    QString result;
    result.reserve(static_cast<qsizetype>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            result += QChar(u'\n');
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            result += QChar(c);
        }
    }
    return result;
}

// Selection texts use U+2029 between paragraphs; the program uses CR LF.
Text programText(const QString& selected) {
    Text text;
    text.reserve(static_cast<size_t>(selected.size()));
    for (QChar c : selected) {
        if (c == QChar(0x2029) || c == QChar(u'\n')) {
            text += u"\r\n";
        } else {
            text += static_cast<char16_t>(c.unicode());
        }
    }
    return text;
}

QPalette::ColorRole roleFor(Kind kind, int slot) {
    bool front = slot == frontColour;
    switch (kind) {
        case Kind::editor:
        case Kind::list:
        case Kind::folderTree:
        case Kind::comboBox:
            return front ? QPalette::Text : QPalette::Base;
        case Kind::button:
        case Kind::imageButton:
            return front ? QPalette::ButtonText : QPalette::Button;
        default:
            return front ? QPalette::WindowText : QPalette::Window;
    }
}

}  // namespace

// ---- Text and state -------------------------------------------------------------------

void setGadgetText(Gadget gadget, const Text& text) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::button: static_cast<FittingButton*>(w)->setFullText(toQString(text)); break;
        case Kind::checkBox: static_cast<QCheckBox*>(w)->setText(toQString(text)); break;
        case Kind::text: static_cast<QLabel*>(w)->setText(toQString(text)); break;
        case Kind::editor: static_cast<QPlainTextEdit*>(w)->setPlainText(editorInput(text)); break;
        case Kind::comboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            if (combo->isEditable()) {
                combo->setEditText(toQString(text));
            } else {
                combo->setCurrentIndex(combo->findText(toQString(text), Qt::MatchExactly));
            }
            break;
        }
        case Kind::folderTree: selectFolder(*r, toQString(text)); break;
        case Kind::panel: {
            auto* panel = static_cast<QTabWidget*>(w);
            panel->setTabText(panel->currentIndex(), toQString(text));
            break;
        }
        default: break;
    }
}

Text getGadgetText(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return {};
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::button: return fromQString(static_cast<FittingButton*>(w)->fullText());
        case Kind::checkBox: return fromQString(static_cast<QCheckBox*>(w)->text());
        case Kind::text: return fromQString(static_cast<QLabel*>(w)->text());
        case Kind::editor: return editorText(static_cast<QPlainTextEdit*>(w));
        case Kind::comboBox: return fromQString(static_cast<QComboBox*>(w)->currentText());
        case Kind::folderTree: return fromQString(r->selectedFolder);
        case Kind::panel: {
            auto* panel = static_cast<QTabWidget*>(w);
            return fromQString(panel->tabText(panel->currentIndex()));
        }
        default: return {};
    }
}

void setGadgetState(Gadget gadget, int value) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::checkBox: static_cast<QCheckBox*>(w)->setChecked(value != 0); break;
        case Kind::imageButton: {
            auto* button = static_cast<QToolButton*>(w);
            if (button->isCheckable()) button->setChecked(value != 0);
            break;
        }
        case Kind::comboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            combo->setCurrentIndex(value);
            break;
        }
        case Kind::panel: static_cast<QTabWidget*>(w)->setCurrentIndex(value); break;
        default: break;
    }
}

int getGadgetState(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::checkBox: return static_cast<QCheckBox*>(w)->isChecked() ? 1 : 0;
        case Kind::imageButton: return static_cast<QToolButton*>(w)->isChecked() ? 1 : 0;
        case Kind::comboBox: return static_cast<QComboBox*>(w)->currentIndex();
        case Kind::panel: return static_cast<QTabWidget*>(w)->currentIndex();
        default: return 0;
    }
}

// ---- Items --------------------------------------------------------------------------------

void addGadgetItems(Gadget gadget, const Text& prefix, const Text* texts, size_t count) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    if (r->kind != Kind::list) {
        for (size_t i = 0; i < count; ++i) addGadgetItem(gadget, -1, prefix + texts[i]);
        return;
    }
    ProgrammaticChange change;
    std::vector<ListRow> rows;
    rows.reserve(count);
    // Split as addGadgetItem does: the columns are separated by the first line feed.
    const size_t prefixSplit = prefix.find(u'\n');
    for (size_t i = 0; i < count; ++i) {
        ListRow row{{QString(), QString()}, false, QColor(), QColor(), ListRow::notSourced};
        if (prefixSplit != Text::npos) {
            row.columns[0] = QString::fromUtf16(prefix.data(), static_cast<qsizetype>(prefixSplit));
            if (prefixSplit + 1 == prefix.size()) row.columns[1] = toQString(texts[i]);
            else row.columns[1] = toQString(prefix.substr(prefixSplit + 1) + texts[i]);
        } else {
            const Text line = prefix + texts[i];
            const size_t split = line.find(u'\n');
            if (split == Text::npos) {
                row.columns[0] = toQString(line);
            } else {
                row.columns[0] = QString::fromUtf16(line.data(), static_cast<qsizetype>(split));
                row.columns[1] = QString::fromUtf16(line.data() + split + 1, static_cast<qsizetype>(line.size() - split - 1));
            }
        }
        rows.push_back(std::move(row));
    }
    r->listModel->appendRows(std::move(rows));
}

void addGadgetItemsFrom(Gadget gadget, const std::vector<Text>& texts, size_t from, size_t count) {
    GadgetRecord* r = record(gadget);
    if (!r || from > texts.size() || count > texts.size() - from) return;
    if (r->kind != Kind::list) {
        addGadgetItems(gadget, u"\n", texts.data() + from, count);
        return;
    }
    ProgrammaticChange change;
    r->listModel->appendSourcedRows(texts, from, count);
}

void addGadgetItem(Gadget gadget, int position, const Text& text, int image) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::comboBox: {
            auto* combo = static_cast<QComboBox*>(w);
            // Adding an entry neither selects it nor changes the edit field.
            int selected = combo->currentIndex();
            QString field = combo->currentText();
            int at = position < 0 || position > combo->count() ? combo->count() : position;
            combo->insertItem(at, toQString(text));
            if (selected >= at) ++selected;
            combo->setCurrentIndex(selected);
            if (combo->isEditable()) combo->setEditText(field);
            break;
        }
        case Kind::list: {
            QString line = toQString(text);
            qsizetype split = line.indexOf('\n');
            QString first = split < 0 ? line : line.left(split);
            QString second = split < 0 ? QString() : line.mid(split + 1);
            if (position < 0) {
                r->listModel->appendRow(first, second);
            } else {
                r->listModel->insertRowAt(position, first, second);
            }
            break;
        }
        case Kind::panel: {
            auto* panel = static_cast<QTabWidget*>(w);
            auto* page = new QWidget;
            page->setMouseTracking(true);
            QIcon icon;
            auto found = state().images.find(image);
            if (found != state().images.end()) icon = QIcon(found->second);
            if (position < 0 || position >= panel->count()) {
                panel->addTab(page, icon, toQString(text));
            } else {
                panel->insertTab(position, page, icon, toQString(text));
            }
            r->pages.push_back(page);
            auto& lists = state().lists;
            for (auto it = lists.rbegin(); it != lists.rend(); ++it) {
                if (it->panel == gadget) {
                    it->parent = page;
                    break;
                }
            }
            // Lay the panel out now, so that the page size can be read at once.
            panel->resize(panel->size());
            QResizeEvent resize(panel->size(), panel->size());
            QApplication::sendEvent(panel, &resize);
            break;
        }
        default: break;
    }
}

void removeGadgetItem(Gadget gadget, int position) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    if (r->kind == Kind::comboBox) {
        auto* combo = static_cast<QComboBox*>(r->widget.data());
        if (position < 0 || position >= combo->count()) return;
        int selected = combo->currentIndex();
        QString field = combo->currentText();
        combo->removeItem(position);
        // Removing the selected entry leaves nothing selected.
        if (selected == position) selected = -1;
        else if (selected > position) --selected;
        combo->setCurrentIndex(selected);
        if (combo->isEditable()) combo->setEditText(field);
    } else if (r->kind == Kind::list) {
        r->listModel->removeRowAt(position);
    }
}

void clearGadgetItems(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    if (r->kind == Kind::comboBox) {
        auto* combo = static_cast<QComboBox*>(r->widget.data());
        QString field = combo->currentText();
        combo->clear();
        if (combo->isEditable()) combo->setEditText(field);
    } else if (r->kind == Kind::list) {
        r->listModel->clearRows();
    }
}

int countGadgetItems(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
    switch (r->kind) {
        case Kind::comboBox: return static_cast<QComboBox*>(r->widget.data())->count();
        case Kind::list: return static_cast<int>(r->listModel->rows().size());
        case Kind::panel: return static_cast<QTabWidget*>(r->widget.data())->count();
        default: return 0;
    }
}

Text getGadgetItemText(Gadget gadget, int item, int column) {
    GadgetRecord* r = record(gadget);
    if (!r || item < 0) return {};
    switch (r->kind) {
        case Kind::comboBox: {
            auto* combo = static_cast<QComboBox*>(r->widget.data());
            return item < combo->count() ? fromQString(combo->itemText(item)) : Text();
        }
        case Kind::list: {
            auto& rows = r->listModel->rows();
            if (static_cast<size_t>(item) >= rows.size() || column < 0 || column >= listColumns) return {};
            return fromQString(r->listModel->text(rows[static_cast<size_t>(item)], column));
        }
        case Kind::panel: {
            auto* panel = static_cast<QTabWidget*>(r->widget.data());
            return item < panel->count() ? fromQString(panel->tabText(item)) : Text();
        }
        default: return {};
    }
}

void setGadgetItemText(Gadget gadget, int item, const Text& text, int column) {
    GadgetRecord* r = record(gadget);
    if (!r || item < 0) return;
    ProgrammaticChange change;
    switch (r->kind) {
        case Kind::comboBox: {
            auto* combo = static_cast<QComboBox*>(r->widget.data());
            if (item < combo->count()) combo->setItemText(item, toQString(text));
            break;
        }
        case Kind::panel: {
            auto* panel = static_cast<QTabWidget*>(r->widget.data());
            if (item < panel->count()) panel->setTabText(item, toQString(text));
            break;
        }
        case Kind::list: {
            auto& rows = r->listModel->rows();
            if (static_cast<size_t>(item) < rows.size() && column >= 0 && column < listColumns) {
                rows[static_cast<size_t>(item)].columns[column] = toQString(text);
                if (column == 1) rows[static_cast<size_t>(item)].sourced = ListRow::notSourced;
                QModelIndex index = r->listModel->index(item, column);
                emit r->listModel->dataChanged(index, index);
            }
            break;
        }
        default: break;
    }
}

void setGadgetItemState(Gadget gadget, int item, int value) {
    GadgetRecord* r = record(gadget);
    if (r && r->kind == Kind::list) r->listModel->setChecked(item, value != 0);
}

int getGadgetItemState(Gadget gadget, int item) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || item < 0) return 0;
    auto& rows = r->listModel->rows();
    return static_cast<size_t>(item) < rows.size() && rows[static_cast<size_t>(item)].checked ? 1 : 0;
}

void setGadgetItemColour(Gadget gadget, int item, int slot, Colour colour) {
    GadgetRecord* r = record(gadget);
    if (r && r->kind == Kind::list) r->listModel->setRowColour(item, slot, toQColor(colour));
}

void setProgress(Gadget gadget, int64_t done, int64_t total, const Text& text) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::progressBar) return;
    auto* bar = static_cast<QProgressBar*>(r->widget.data());
    // The bar counts in int: large totals are scaled down alike.
    int64_t scale = 1;
    while (total / scale > INT32_MAX) scale *= 2;
    bar->setRange(0, static_cast<int>(total / scale));
    bar->setValue(static_cast<int>(std::min(done, total) / scale));
    QString shown = toQString(text);
    shown.replace(QLatin1Char('%'), QLatin1String("%%"));
    bar->setFormat(shown);
}

void setGadgetItemNote(Gadget gadget, int item, const Text& note) {
    GadgetRecord* r = record(gadget);
    if (r && r->kind == Kind::list) r->listModel->setRowNote(item, toQString(note));
}

Text getGadgetItemNote(Gadget gadget, int item) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || item < 0) return Text();
    auto& rows = r->listModel->rows();
    if (static_cast<size_t>(item) >= rows.size()) return Text();
    return fromQString(rows[static_cast<size_t>(item)].note);
}

Colour getGadgetItemColour(Gadget gadget, int item, int slot) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || item < 0) return 0;
    auto& rows = r->listModel->rows();
    if (static_cast<size_t>(item) >= rows.size()) return 0;
    const ListRow& row = rows[static_cast<size_t>(item)];
    const QColor& c = slot == frontColour ? row.front : row.back;
    return c.isValid() ? fromQColor(c) : 0;
}

void addGadgetColumn(Gadget gadget, int column, const Text& title, int width) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || column < 0 || column >= listColumns) return;
    auto* view = static_cast<QTableView*>(r->widget.data());
    r->listModel->setColumnTitle(column, toQString(title));
    view->setColumnHidden(column, false);
    view->setColumnWidth(column, width);
}

void clearGadgetColumn(Gadget gadget, int column) {
    GadgetRecord* r = record(gadget);
    if (r && r->kind == Kind::list) r->listModel->clearColumn(column);
}

void setGadgetItemAttribute(Gadget gadget, int /*item*/, int attribute, int value, int column) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || attribute != columnWidth) return;
    static_cast<QTableView*>(r->widget.data())->setColumnWidth(column, value);
}

int getGadgetItemAttribute(Gadget gadget, int /*item*/, int attribute, int column) {
    GadgetRecord* r = record(gadget);
    if (!r || r->kind != Kind::list || attribute != columnWidth) return 0;
    return static_cast<QTableView*>(r->widget.data())->columnWidth(column);
}

// ---- Attributes, colours, look ----------------------------------------------------------

int getGadgetAttribute(Gadget gadget, int attribute) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
    if (r->kind == Kind::panel) {
        auto* panel = static_cast<QTabWidget*>(r->widget.data());
        QWidget* page = panel->widget(0);
        QWidget* stack = page ? page->parentWidget() : nullptr;
        if (!stack) return 0;
        if (attribute == panelItemWidth) return stack->width();
        if (attribute == panelItemHeight) return stack->height();
    } else if (r->kind == Kind::scrollArea && attribute == scrollAreaX) {
        return static_cast<QScrollArea*>(r->widget.data())->horizontalScrollBar()->value();
    } else if (r->kind == Kind::imageButton && attribute == pressedImage) {
        // The image number whose picture the button shows while pressed; 0 when none.
        if (r->pressedPixmap.isNull()) return 0;
        for (const auto& [number, pixmap] : state().images) {
            if (pixmap.cacheKey() == r->pressedPixmap.cacheKey()) return number;
        }
    }
    return 0;
}

void setGadgetAttribute(Gadget gadget, int attribute, int value) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    if (r->kind == Kind::imageButton && attribute == pressedImage) {
        auto found = state().images.find(value);
        if (found == state().images.end()) return;
        r->pressedPixmap = found->second;
        QIcon icon;
        QSize size = found->second.deviceIndependentSize().toSize();
        icon.addPixmap(r->releasedIcon.pixmap(size), QIcon::Normal, QIcon::Off);
        icon.addPixmap(found->second, QIcon::Normal, QIcon::On);
        static_cast<QToolButton*>(r->widget.data())->setIcon(icon);
    } else if (r->kind == Kind::scrollArea && attribute == scrollAreaX) {
        static_cast<QScrollArea*>(r->widget.data())->horizontalScrollBar()->setValue(value);
    }
}

namespace binding {

namespace {
double channel(int value) {
    const double c = value / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double luminance(const QColor& c) {
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& front, const QColor& back) {
    constexpr double enough = 4.5;
    if (contrastRatio(front, back) >= enough) return front;
    const QColor target = contrastRatio(Qt::black, back) >= contrastRatio(Qt::white, back) ? QColor(Qt::black)
                                                                                           : QColor(Qt::white);
    for (int step = 1; step < 32; ++step) {
        const double t = step / 32.0;
        const QColor mixed(static_cast<int>(front.red() + (target.red() - front.red()) * t + 0.5),
                           static_cast<int>(front.green() + (target.green() - front.green()) * t + 0.5),
                           static_cast<int>(front.blue() + (target.blue() - front.blue()) * t + 0.5));
        if (contrastRatio(mixed, back) >= enough) return mixed;
    }
    return target;
}

// What a gadget's text is painted on: its own background from the program, else that of
// the nearest gadget around it with one, else the application palette's (asked directly,
// since widgets take a new palette only after the application has it).
QColor backgroundBehind(const GadgetRecord& r, QPalette::ColorRole backRole) {
    if (r.wantedBack.isValid()) return r.wantedBack;
    for (QWidget* around = r.widget->parentWidget(); around; around = around->parentWidget()) {
        const QVariant number = around->property("tkGadget");
        if (!number.isValid()) continue;
        const GadgetRecord* outer = record(number.toInt());
        if (outer && outer->wantedBack.isValid() && outer->client != outer->widget.data()) return outer->wantedBack;
    }
    return QApplication::palette(r.widget.data()).color(backRole);
}

void applyColours(GadgetRecord& r) {
    QWidget* w = r.widget.data();
    if (!w || (!r.wantedFront.isValid() && !r.wantedBack.isValid())) return;
    const QPalette::ColorRole frontRole = roleFor(r.kind, frontColour);
    const QPalette::ColorRole backRole = roleFor(r.kind, backColour);
    QPalette palette = w->palette();
    if (r.wantedBack.isValid()) {
        palette.setColor(backRole, r.wantedBack);
        w->setAutoFillBackground(true);
        if (r.client && r.client != w) {
            QPalette clientPalette = r.client->palette();
            clientPalette.setColor(QPalette::Window, r.wantedBack);
            r.client->setPalette(clientPalette);
            r.client->setAutoFillBackground(true);
        }
    }
    const QColor back = backgroundBehind(r, backRole);
    if (r.wantedFront.isValid()) palette.setColor(frontRole, readableOn(r.wantedFront, back));
    else palette.setColor(frontRole, contrastRatio(Qt::black, back) >= contrastRatio(Qt::white, back) ? Qt::black : Qt::white);
    w->setPalette(palette);
    w->update();
}

void applyAllColours() {
    for (auto& [number, r] : state().gadgets) applyColours(r);
}

}  // namespace binding

void setGadgetColour(Gadget gadget, int slot, Colour colour) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    (slot == backColour ? r->wantedBack : r->wantedFront) = toQColor(colour);
    applyColours(*r);
}

// The colour the program gave; the palette's where it gave none.
Colour getGadgetColour(Gadget gadget, int slot) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
    const QColor& wanted = slot == backColour ? r->wantedBack : r->wantedFront;
    if (wanted.isValid()) return fromQColor(wanted);
    return fromQColor(r->widget->palette().color(roleFor(r->kind, slot)));
}

void disableGadget(Gadget gadget, bool disabled) {
    if (QWidget* w = widgetOf(gadget)) w->setEnabled(!disabled);
}

bool isGadgetDisabled(Gadget gadget) {
    QWidget* w = widgetOf(gadget);
    return w && !w->isEnabled();
}

void hideGadget(Gadget gadget, bool hidden) {
    if (QWidget* w = widgetOf(gadget)) w->setVisible(!hidden);
}

bool isGadgetHidden(Gadget gadget) {
    QWidget* w = widgetOf(gadget);
    return w && w->isHidden();
}

void resizeGadget(Gadget gadget, int x, int y, int width, int height) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    QWidget* w = r->widget.data();
    QRect g = w->geometry();
    QRect next(x == ignoreValue ? g.x() : x, y == ignoreValue ? g.y() : y,
               width == ignoreValue ? g.width() : width, height == ignoreValue ? g.height() : height);
    w->setGeometry(next);
    if (r->kind == Kind::container && r->client != w) {
        int border = w->property("tkBorder").toInt();
        r->client->setGeometry(border, border, next.width() - 2 * border, next.height() - 2 * border);
    }
}

int gadgetX(Gadget gadget) { QWidget* w = widgetOf(gadget); return w ? w->x() : 0; }
int gadgetY(Gadget gadget) { QWidget* w = widgetOf(gadget); return w ? w->y() : 0; }
int gadgetWidth(Gadget gadget) { QWidget* w = widgetOf(gadget); return w ? w->width() : 0; }
int gadgetHeight(Gadget gadget) { QWidget* w = widgetOf(gadget); return w ? w->height() : 0; }

// A service gadget is hidden and cannot hold the focus itself: giving it the focus takes
// the focus from every gadget, and the service gadget counts as active until another
// gadget takes it.
void setActiveGadget(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    if (r->service) {
        state().parkedFocus = gadget;
        if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
        return;
    }
    r->widget->setFocus(Qt::OtherFocusReason);
}

Gadget getActiveGadget() {
    const Gadget focused = gadgetOfWidget(QApplication::focusWidget());
    return focused != 0 ? focused : state().parkedFocus;
}

void gadgetToolTip(Gadget gadget, const Text& text) {
    if (QWidget* w = widgetOf(gadget)) w->setToolTip(toQString(text));
}

Text gadgetToolTipText(Gadget gadget) {
    QWidget* w = widgetOf(gadget);
    return w ? fromQString(w->toolTip()) : Text();
}

// ---- Editors --------------------------------------------------------------------------

void setEditorSelection(Gadget editor, int start, int end) {
    GadgetRecord* r = record(editor);
    if (!r || r->kind != Kind::editor) return;
    auto* edit = static_cast<QPlainTextEdit*>(r->widget.data());
    QTextCursor cursor(edit->document());
    int last = edit->document()->characterCount() - 1;
    auto clampPosition = [last](int p) { return p < 0 || p > last ? last : p; };
    cursor.setPosition(clampPosition(start));
    cursor.setPosition(clampPosition(end), QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
}

void getEditorSelection(Gadget editor, int& start, int& end) {
    start = end = 0;
    GadgetRecord* r = record(editor);
    if (!r || r->kind != Kind::editor) return;
    QTextCursor cursor = static_cast<QPlainTextEdit*>(r->widget.data())->textCursor();
    start = cursor.anchor();
    end = cursor.position();
}

void replaceEditorSelection(Gadget editor, const Text& text) {
    GadgetRecord* r = record(editor);
    if (!r || r->kind != Kind::editor) return;
    auto* edit = static_cast<QPlainTextEdit*>(r->widget.data());
    QTextCursor cursor = edit->textCursor();
    cursor.insertText(editorInput(text));
    edit->setTextCursor(cursor);
}

Text editorSelectedText(Gadget editor) {
    GadgetRecord* r = record(editor);
    if (!r || r->kind != Kind::editor) return {};
    return programText(static_cast<QPlainTextEdit*>(r->widget.data())->textCursor().selectedText());
}

}  // namespace tk
