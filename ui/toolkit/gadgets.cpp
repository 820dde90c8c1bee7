// Gadget creation and the operations on gadgets, over Qt widgets.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemModel>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
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

#include "ui/toolkit/qt_binding.h"

namespace tk {
using namespace binding;

namespace {

QWidget* currentParent() {
    auto& lists = state().lists;
    return lists.empty() ? nullptr : lists.back().parent;
}

// Registers a freshly made widget under a new number, with the default font, shown.
Gadget adopt(QWidget* widget, Kind kind, int x, int y, int width, int height) {
    auto& s = state();
    Gadget number = s.nextNumber++;
    widget->setProperty("tkGadget", number);
    widget->setGeometry(x, y, width, height);
    widget->setMouseTracking(true);
    GadgetRecord r;
    r.kind = kind;
    r.widget = widget;
    r.client = widget;
    r.font = s.defaultFont;
    auto font = s.fonts.find(s.defaultFont);
    if (font != s.fonts.end()) widget->setFont(font->second);
    widget->show();
    s.gadgets.emplace(number, std::move(r));
    return number;
}

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

// A check box that takes a click anywhere in its rectangle, not only on its box and
// caption: the program gives its check boxes the full width of their row.
class RowCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
};

// A folder tree that brings its selected folder into view whenever it is shown: scrolling
// while it sits on a page not shown yet has no effect.
class FolderTree : public QTreeView {
public:
    using QTreeView::QTreeView;

protected:
    void showEvent(QShowEvent* event) override {
        QTreeView::showEvent(event);
        QTimer::singleShot(0, this, [this] { scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter); });
    }
};

void selectFolder(GadgetRecord& r, const QString& path) {
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    auto* tree = static_cast<QTreeView*>(r.widget.data());
    QModelIndex index = r.folderModel->index(folder);
    r.selectedFolder = path.endsWith('/') ? path : path + '/';
    // A folder that does not exist (yet): show its nearest existing parent.
    while (!index.isValid() && folder.lastIndexOf('/') > 0) {
        folder.truncate(folder.lastIndexOf('/'));
        index = r.folderModel->index(folder);
    }
    if (!index.isValid()) return;
    ProgrammaticChange change;
    // Open every folder on the way, also while the tree is on a page not shown yet.
    for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) {
        tree->expand(parent);
    }
    tree->setCurrentIndex(index);
    tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

}  // namespace

// ---- Creation ---------------------------------------------------------------------------

Gadget buttonGadget(int x, int y, int width, int height, const Text& text) {
    auto* button = new QPushButton(toQString(text), currentParent());
    Gadget number = adopt(button, Kind::button, x, y, width, height);
    QObject::connect(button, &QPushButton::clicked, [number] { queueEvent(gadgetEvent, number); });
    return number;
}

Gadget imageButtonGadget(int x, int y, int width, int height, int image, int flags) {
    auto* button = new QToolButton(currentParent());
    button->setCheckable((flags & toggleFlag) == toggleFlag);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Gadget number = adopt(button, Kind::imageButton, x, y, width, height);
    auto found = state().images.find(image);
    if (found != state().images.end()) {
        record(number)->releasedIcon = QIcon(found->second);
        button->setIcon(record(number)->releasedIcon);
        button->setIconSize(found->second.size());
    }
    QObject::connect(button, &QToolButton::clicked, [number] { queueEvent(gadgetEvent, number); });
    return number;
}

Gadget checkBoxGadget(int x, int y, int width, int height, const Text& text) {
    auto* box = new RowCheckBox(toQString(text), currentParent());
    Gadget number = adopt(box, Kind::checkBox, x, y, width, height);
    QObject::connect(box, &QCheckBox::clicked, [number] { queueEvent(gadgetEvent, number); });
    return number;
}

Gadget textGadget(int x, int y, int width, int height, const Text& text, int flags) {
    Gadget number = state().nextNumber;  // adopt() hands out this number next
    auto* label = new ClickLabel(number, (flags & textClicks) != 0, currentParent());
    label->setText(toQString(text));
    label->setTextFormat(Qt::PlainText);
    Qt::Alignment alignment = Qt::AlignLeft;
    if (flags & textCentre) alignment = Qt::AlignHCenter;
    if (flags & textRight) alignment = Qt::AlignRight;
    alignment |= (flags & textVCentre) ? Qt::AlignVCenter : Qt::AlignTop;
    label->setAlignment(alignment);
    return adopt(label, Kind::text, x, y, width, height);
}

Gadget editorGadget(int x, int y, int width, int height) {
    auto* editor = new QPlainTextEdit(currentParent());
    editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor->viewport()->setMouseTracking(true);
    editor->setContextMenuPolicy(Qt::NoContextMenu);
    return adopt(editor, Kind::editor, x, y, width, height);
}

Gadget comboBoxGadget(int x, int y, int width, int height, int flags) {
    auto* combo = new QComboBox(currentParent());
    combo->setEditable((flags & comboEditable) == comboEditable);
    combo->setInsertPolicy(QComboBox::NoInsert);
    Gadget number = adopt(combo, Kind::comboBox, x, y, width, height);
    QObject::connect(combo, &QComboBox::activated,
                     [number](int) { queueEvent(gadgetEvent, number, changeType); });
    if (combo->isEditable()) {
        QObject::connect(combo->lineEdit(), &QLineEdit::textEdited,
                         [number](const QString&) { queueEvent(gadgetEvent, number, changeType); });
    }
    return number;
}

Gadget listGadget(int x, int y, int width, int height, const Text& firstColumnTitle,
                  int firstColumnWidth, int flags) {
    auto* view = new QTableView(currentParent());
    Gadget number = state().nextNumber;
    auto* model = new ListModel(number);
    model->setParent(view);
    model->checkable = (flags & listCheckBoxes) != 0;
    model->setColumnTitle(0, toQString(firstColumnTitle));
    view->setModel(model);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setShowGrid(false);
    view->setWordWrap(false);
    view->setColumnWidth(0, firstColumnWidth);
    view->setColumnHidden(1, true);
    number = adopt(view, Kind::list, x, y, width, height);
    record(number)->listModel = model;
    view->viewport()->setMouseTracking(true);
    return number;
}

Gadget panelGadget(int x, int y, int width, int height) {
    auto* panel = new QTabWidget(currentParent());
    panel->setIconSize(QSize(35, 35));
    Gadget number = adopt(panel, Kind::panel, x, y, width, height);
    QObject::connect(panel, &QTabWidget::currentChanged, [number](int) {
        if (state().programmatic == 0) queueEvent(gadgetEvent, number);
    });
    state().lists.push_back({nullptr, number});
    return number;
}

Gadget containerGadget(int x, int y, int width, int height, int flags) {
    auto* frame = new QFrame(currentParent());
    int border = 0;
    if (flags & containerBorder) {
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
        border = 1;
    }
    Gadget number = adopt(frame, Kind::container, x, y, width, height);
    auto* client = new QWidget(frame);
    client->setGeometry(border, border, width - 2 * border, height - 2 * border);
    client->setMouseTracking(true);
    client->show();
    record(number)->client = client;
    frame->setProperty("tkBorder", border);
    state().lists.push_back({client, 0});
    return number;
}

Gadget scrollAreaGadget(int x, int y, int width, int height, int innerWidth, int innerHeight,
                        int step, int /*flags*/) {
    auto* area = new QScrollArea(currentParent());
    auto* inner = new QWidget;
    inner->resize(innerWidth, innerHeight);
    area->setWidget(inner);
    area->horizontalScrollBar()->setSingleStep(step);
    area->verticalScrollBar()->setSingleStep(step);
    Gadget number = adopt(area, Kind::scrollArea, x, y, width, height);
    record(number)->client = inner;
    state().lists.push_back({inner, 0});
    return number;
}

Gadget folderTreeGadget(int x, int y, int width, int height, const Text& startPath, int flags) {
    auto* tree = new FolderTree(currentParent());
    auto* model = new QFileSystemModel(tree);
    model->setRootPath("/");
    QDir::Filters filter = QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives;
    if (!(flags & treeFoldersOnly)) filter |= QDir::Files;
    model->setFilter(filter);
    model->setResolveSymlinks(false);
    tree->setModel(model);
    for (int column = 1; column < model->columnCount(); ++column) tree->hideColumn(column);
    tree->setHeaderHidden(true);
    if (flags & treeSorted) {
        tree->setSortingEnabled(true);
        tree->sortByColumn(0, Qt::AscendingOrder);
    }
    Gadget number = adopt(tree, Kind::folderTree, x, y, width, height);
    GadgetRecord& r = *record(number);
    r.folderModel = model;
    tree->viewport()->setMouseTracking(true);
    QObject::connect(tree->selectionModel(), &QItemSelectionModel::currentChanged,
                     [number](const QModelIndex& current, const QModelIndex&) {
                         GadgetRecord* rec = record(number);
                         if (!rec || !current.isValid() || state().programmatic != 0) return;
                         QString path = rec->folderModel->filePath(current);
                         rec->selectedFolder = path.endsWith('/') ? path : path + '/';
                         queueEvent(gadgetEvent, number, changeType);
                     });
    // The model reads folders in the background: open the tree at the selected folder
    // again once the folders on its way have been read.
    QObject::connect(model, &QFileSystemModel::directoryLoaded, [number](const QString& loaded) {
        GadgetRecord* rec = record(number);
        if (!rec || !rec->selectedFolder.startsWith(loaded)) return;
        selectFolder(*rec, rec->selectedFolder);
        // The model sorts what it read a moment later; scroll once that is done.
        QTimer::singleShot(50, rec->widget.data(), [number] {
            GadgetRecord* later = record(number);
            if (!later) return;
            auto* view = static_cast<QTreeView*>(later->widget.data());
            view->scrollTo(view->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    });
    selectFolder(r, toQString(startPath));
    return number;
}

void closeGadgetList() {
    auto& lists = state().lists;
    if (lists.size() > 1) lists.pop_back();
}

void freeGadget(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    QWidget* widget = r->widget.data();
    auto& lists = state().lists;
    for (auto it = lists.begin(); it != lists.end();) {
        if (it->parent == r->client || it->panel == gadget) {
            it = lists.erase(it);
        } else {
            ++it;
        }
    }
    state().gadgets.erase(gadget);
    delete widget;
}

bool isGadget(Gadget gadget) { return record(gadget) != nullptr; }

void hostGadget(Gadget gadget, Gadget host) {
    QWidget* widget = widgetOf(gadget);
    QWidget* hostWidget = widgetOf(host);
    if (!widget || !hostWidget) return;
    QRect geometry = widget->geometry();
    widget->setParent(hostWidget);
    widget->setGeometry(geometry);
    widget->show();
}

// ---- Text and state -------------------------------------------------------------------

void setGadgetText(Gadget gadget, const Text& text) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    ProgrammaticChange change;
    QWidget* w = r->widget.data();
    switch (r->kind) {
        case Kind::button: static_cast<QPushButton*>(w)->setText(toQString(text)); break;
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
        case Kind::button: return fromQString(static_cast<QPushButton*>(w)->text());
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
        ListRow row{{QString(), QString()}, false, QColor(), QColor()};
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
            if (static_cast<size_t>(item) >= rows.size() || column < 0 || column > 1) return {};
            return fromQString(rows[static_cast<size_t>(item)].columns[column]);
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
            if (static_cast<size_t>(item) < rows.size() && column >= 0 && column <= 1) {
                rows[static_cast<size_t>(item)].columns[column] = toQString(text);
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
    if (!r || r->kind != Kind::list || column < 0 || column > 1) return;
    auto* view = static_cast<QTableView*>(r->widget.data());
    r->listModel->setColumnTitle(column, toQString(title));
    view->setColumnHidden(column, false);
    view->setColumnWidth(column, width);
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
        QSize size = found->second.size();
        icon.addPixmap(r->releasedIcon.pixmap(size), QIcon::Normal, QIcon::Off);
        icon.addPixmap(found->second, QIcon::Normal, QIcon::On);
        static_cast<QToolButton*>(r->widget.data())->setIcon(icon);
    } else if (r->kind == Kind::scrollArea && attribute == scrollAreaX) {
        static_cast<QScrollArea*>(r->widget.data())->horizontalScrollBar()->setValue(value);
    }
}

void setGadgetColour(Gadget gadget, int slot, Colour colour) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    QWidget* w = r->widget.data();
    QPalette palette = w->palette();
    palette.setColor(roleFor(r->kind, slot), toQColor(colour));
    w->setPalette(palette);
    if (slot == backColour) {
        w->setAutoFillBackground(true);
        if (r->client && r->client != w) {
            QPalette clientPalette = r->client->palette();
            clientPalette.setColor(QPalette::Window, toQColor(colour));
            r->client->setPalette(clientPalette);
            r->client->setAutoFillBackground(true);
        }
    }
    w->update();
}

Colour getGadgetColour(Gadget gadget, int slot) {
    GadgetRecord* r = record(gadget);
    if (!r) return 0;
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

void setActiveGadget(Gadget gadget) {
    if (QWidget* w = widgetOf(gadget)) w->setFocus(Qt::OtherFocusReason);
}

Gadget getActiveGadget() { return gadgetOfWidget(QApplication::focusWidget()); }

void gadgetToolTip(Gadget gadget, const Text& text) {
    if (QWidget* w = widgetOf(gadget)) w->setToolTip(toQString(text));
}

Text gadgetToolTipText(Gadget gadget) {
    QWidget* w = widgetOf(gadget);
    return w ? fromQString(w->toolTip()) : Text();
}

void setGadgetFont(Gadget gadget, int font) {
    GadgetRecord* r = record(gadget);
    auto found = state().fonts.find(font);
    if (!r || found == state().fonts.end()) return;
    r->font = font;
    r->widget->setFont(found->second);
}

int gadgetFont(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    return r ? r->font : 0;
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

// ---- The list model ---------------------------------------------------------------------

namespace binding {

int ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant ListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || static_cast<size_t>(index.row()) >= rows_.size()) return {};
    const ListRow& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole: return row.columns[index.column()];
        case Qt::CheckStateRole:
            if (checkable && index.column() == 0) return row.checked ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ForegroundRole: return row.front.isValid() ? QVariant(row.front) : QVariant();
        case Qt::BackgroundRole: return row.back.isValid() ? QVariant(row.back) : QVariant();
        default: return {};
    }
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 || !checkable) return false;
    if (static_cast<size_t>(index.row()) >= rows_.size()) return false;
    rows_[static_cast<size_t>(index.row())].checked = value.toInt() == Qt::Checked;
    emit dataChanged(index, index);
    if (state().programmatic == 0) queueEvent(gadgetEvent, owner_);
    return true;
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2) {
        return titles_[section];
    }
    return {};
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable && index.column() == 0) f |= Qt::ItemIsUserCheckable;
    return f;
}

void ListModel::appendRow(const QString& first, const QString& second) {
    int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at);
    rows_.push_back(ListRow{{first, second}, false, QColor(), QColor()});
    endInsertRows();
}

void ListModel::appendRows(std::vector<ListRow>&& rows) {
    if (rows.empty()) return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), at, at + static_cast<int>(rows.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    endInsertRows();
}

void ListModel::insertRowAt(int position, const QString& first, const QString& second) {
    if (position < 0 || static_cast<size_t>(position) > rows_.size()) position = static_cast<int>(rows_.size());
    beginInsertRows(QModelIndex(), position, position);
    rows_.insert(rows_.begin() + position, ListRow{{first, second}, false, QColor(), QColor()});
    endInsertRows();
}

void ListModel::removeRowAt(int position) {
    if (position < 0 || static_cast<size_t>(position) >= rows_.size()) return;
    beginRemoveRows(QModelIndex(), position, position);
    rows_.erase(rows_.begin() + position);
    endRemoveRows();
}

void ListModel::clearRows() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void ListModel::setChecked(int row, bool checked) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    rows_[static_cast<size_t>(row)].checked = checked;
    QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
}

void ListModel::setRowColour(int row, int slot, const QColor& colour) {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    ListRow& r = rows_[static_cast<size_t>(row)];
    (slot == frontColour ? r.front : r.back) = colour;
    emit dataChanged(index(row, 0), index(row, 1));
}

void ListModel::setColumnTitle(int column, const QString& title) {
    titles_[column] = title;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

}  // namespace binding
}  // namespace tk
