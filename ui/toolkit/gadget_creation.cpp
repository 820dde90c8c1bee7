// Gadget creation over Qt widgets, and the gadget-list stack they are created into.


#include <QAbstractFileIconProvider>
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
#include <QFontMetrics>
#include <QStyle>
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
    auto font = s.fonts.find(s.defaultFont);
    if (font != s.fonts.end()) widget->setFont(font->second);
    widget->show();
    s.gadgets.emplace(number, std::move(r));
    return number;
}

// A check box that takes a click anywhere in its rectangle, not only on its box and
// caption: the program gives its check boxes the full width of their row.
class RowCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    bool hitButton(const QPoint& position) const override { return rect().contains(position); }
};

// A combo box takes the mouse wheel only while it has the focus: a wheel turned to scroll
// past it must not choose an entry (and with it replace the text of an editor).
class WheelGuard : public QObject {
protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::Wheel) return false;
        auto* combo = qobject_cast<QComboBox*>(target);
        return combo && !combo->hasFocus();
    }
};

QObject* wheelGuard() {
    static WheelGuard guard;
    return &guard;
}

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

}  // namespace

namespace binding {

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

}  // namespace binding

// ---- Creation ---------------------------------------------------------------------------

binding::FittingButton::FittingButton(const QString& text, QWidget* parent) : QPushButton(parent) { setFullText(text); }

void binding::FittingButton::setFullText(const QString& text) {
    full_ = text;
    fit();
}

void binding::FittingButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    fit();
}

void binding::FittingButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange) fit();
}

void binding::FittingButton::fit() {
    // The room inside the button's frame.
    const int room = width() - 2 * style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
    const QFontMetrics metrics(font());
    QString shown = full_;
    if (room > 0 && metrics.horizontalAdvance(full_) > room && full_.contains(u' ')) {
        shown.clear();
        QString line;
        for (const QString& word : full_.split(u' ', Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + u' ' + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > room) {
                shown += line + u'\n';
                line = word;
            } else {
                line = longer;
            }
        }
        shown += line;
    }
    if (text() != shown) QPushButton::setText(shown);
    // Assistive technology reads the caption as one line.
    if (shown != full_) {
        setAccessibleName(full_);
        namedWhole_ = true;
    } else if (namedWhole_) {
        setAccessibleName(QString());
        namedWhole_ = false;
    }
}

Gadget buttonGadget(int x, int y, int width, int height, const Text& text) {
    auto* button = new FittingButton(toQString(text), currentParent());
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
        button->setIconSize(found->second.deviceIndependentSize().toSize());
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

Gadget progressBarGadget(int x, int y, int width, int height) {
    auto* bar = new QProgressBar(currentParent());
    bar->setRange(0, 1);
    bar->setValue(0);
    bar->setTextVisible(true);
    bar->setAlignment(Qt::AlignCenter);
    return adopt(bar, Kind::progressBar, x, y, width, height);
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
    // The focus comes by click or keyboard, never by the wheel.
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->installEventFilter(wheelGuard());
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
    for (int column = 1; column < listColumns; ++column) view->setColumnHidden(column, true);
    number = adopt(view, Kind::list, x, y, width, height);
    record(number)->listModel = model;
    // A double click on a row, or Enter on it.
    QObject::connect(view, &QTableView::activated, [number](const QModelIndex& index) {
        state().activatedRow = index.row();
        queueEvent(gadgetEvent, number, activateType);
    });
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

namespace {

// The folder tree's icons and types by kind alone: the default provider looks up every
// file's type in the MIME database as folders are read, and the window's thread then
// spends more time on it than on the reading itself.
// Made on the window's thread; the model's reading thread only copies its two icons.
class KindIcons : public QAbstractFileIconProvider {
public:
    KindIcons()
        : folder_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
          file_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {}
    QIcon icon(IconType type) const override { return type == File ? file_ : folder_; }
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? folder_ : file_; }
    // The type column is hidden: the kind is all it needs.
    QString type(const QFileInfo& info) const override { return info.isDir() ? QStringLiteral("Folder") : QStringLiteral("File"); }

private:
    const QIcon folder_;
    const QIcon file_;
};

}  // namespace

Gadget folderTreeGadget(int x, int y, int width, int height, const Text& startPath, int flags) {
    auto* tree = new FolderTree(currentParent());
    auto* model = new QFileSystemModel(tree);
    static KindIcons kindIcons;
    model->setIconProvider(&kindIcons);
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

}  // namespace tk
