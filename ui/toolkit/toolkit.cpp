// The toolkit's window, events, menus, requesters, clipboard, fonts and images over Qt.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QDialog>
#include <QFontDatabase>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QMouseEvent>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QPointer>
#include <QShortcut>
#include <QWindow>
#include <QStyle>
#include <QSvgRenderer>

#include <chrono>
#include <dlfcn.h>
#include <string>
#include <thread>

#include "ui/toolkit/qt_binding.h"

// The embedded pictures and clips live in this static library; they must be registered
// explicitly or the linker drops them.
static void registerEmbeddedResources() { Q_INIT_RESOURCE(resources); }

namespace tk {
namespace binding {

State& state() {
    static State instance;
    return instance;
}

GadgetRecord* record(Gadget gadget) {
    auto& gadgets = state().gadgets;
    auto found = gadgets.find(gadget);
    if (found == gadgets.end() || found->second.widget.isNull()) return nullptr;
    return &found->second;
}

QWidget* widgetOf(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    return r ? r->widget.data() : nullptr;
}

Gadget gadgetOfWidget(const QWidget* widget) {
    while (widget) {
        QVariant number = widget->property("tkGadget");
        if (number.isValid()) return number.toInt();
        widget = widget->parentWidget();
    }
    return 0;
}

void queueEvent(int kind, Gadget gadget, int type, int menuItem) {
    auto& queue = state().queue;
    // Mouse moves only matter as "the cursor moved": one pending is enough.
    if (kind == mouseMove && !queue.empty() && queue.back().kind == mouseMove) return;
    queue.push_back(QueuedEvent{kind, gadget, type, menuItem});
}

QString toQString(const Text& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

Text fromQString(const QString& text) {
    return Text(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

QColor toQColor(Colour colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

Colour fromQColor(const QColor& colour) {
    return static_cast<Colour>(colour.red()) | (static_cast<Colour>(colour.green()) << 8) |
           (static_cast<Colour>(colour.blue()) << 16);
}

void dropHandCursor() {
    auto& s = state();
    if (!s.handCursorShown) return;
    QGuiApplication::restoreOverrideCursor();
    s.handCursorShown = false;
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (reportsClicks_ && event->button() == Qt::LeftButton && isEnabled()) {
        queueEvent(gadgetEvent, number_);
    }
    QLabel::mousePressEvent(event);
}

namespace {

// Window 0: its close box asks the program instead of closing, and size changes reach the
// program's callback.
class MainWindow : public QWidget {
protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        queueEvent(tk::closeEvent, 0);
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        if (state().callback) state().callback(sizeMessage, 0, 0);
    }
};

// Turns mouse presses and moves anywhere in window 0 into the raw event kinds, and puts
// the platform's own cursor back on every move (the program may set the hand again).
class MouseFilter : public QObject {
protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        auto type = event->type();
        if (type == QEvent::ApplicationPaletteChange && target == QCoreApplication::instance()) {
            applyAllColours();
            return false;
        }
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove) return false;
        auto* widget = qobject_cast<QWidget*>(target);
        if (!widget || !state().window) return false;
        // The hand belongs to the gadgets of window 0, never to a dialog or box over it.
        if (widget->window() != state().window) {
            if (type == QEvent::MouseMove) dropHandCursor();
            return false;
        }
        auto* mouse = static_cast<QMouseEvent*>(event);
        // A press that a child ignores is offered to its parents as a new event object:
        // count each press once.
        static ulong lastStamp = 0;
        static QPointF lastGlobal;
        static QEvent::Type lastType = QEvent::None;
        if (mouse->timestamp() == lastStamp && mouse->globalPosition() == lastGlobal &&
            type == lastType && lastStamp != 0) {
            return false;
        }
        lastStamp = mouse->timestamp();
        lastGlobal = mouse->globalPosition();
        lastType = type;
        if (type == QEvent::MouseMove) {
            dropHandCursor();
            queueEvent(mouseMove, 0);
        } else if (mouse->button() == Qt::LeftButton) {
            state().lastClicked = gadgetOfWidget(widget);
            queueEvent(leftButtonDown, 0);
        } else if (mouse->button() == Qt::RightButton) {
            queueEvent(rightButtonDown, 0);
        }
        return false;
    }
};

QApplication* application = nullptr;

// Why the X display cannot be reached, or empty when it can (or when the window system is
// another one, which reports for itself). The widget library ends the process when it
// cannot reach its display, so this is asked first.
std::string displayProblem() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb")) return {};
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        if (platform.isEmpty() && !qgetenv("WAYLAND_DISPLAY").isEmpty()) return {};
        return "cannot open the window: no display (DISPLAY is not set)";
    }
    // The X client library is loaded where it is needed, as the platform plugin loads it.
    void* xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (xcb == nullptr) return {};
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    auto connect = reinterpret_cast<Connect>(dlsym(xcb, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(xcb, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(xcb, "xcb_disconnect"));
    std::string problem;
    if (connect && hasError && disconnect) {
        // A server that is starting, or resetting after its last client left, answers a
        // moment later.
        for (int attempt = 0; attempt < 10; ++attempt) {
            void* connection = connect(display.constData(), nullptr);
            const bool answered = hasError(connection) == 0;
            disconnect(connection);
            if (answered) {
                problem.clear();
                break;
            }
            problem = "cannot open the window: no X display answers at " + display.toStdString();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    dlclose(xcb);
    return problem;
}

}  // namespace
}  // namespace binding

using namespace binding;

// ---- Application and window 0 ---------------------------------------------------------

bool startToolkit(int& argc, char** argv, std::string* problem) {
    if (QApplication::instance()) return true;
    const std::string why = displayProblem();
    if (!why.empty()) {
        if (problem) *problem = why;
        return false;
    }
    application = new QApplication(argc, argv);
    registerEmbeddedResources();
    application->installEventFilter(new MouseFilter);
    installKeyboardWalk();
    return true;
}

namespace {

// The program's icon, drawn from the picture the package ships at the sizes desktops ask
// for; every window of the program carries it (on X11 as _NET_WM_ICON).
QIcon programIcon() {
    QIcon icon;
    QSvgRenderer renderer(QStringLiteral(":/icons/program.svg"));
    if (!renderer.isValid()) return icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

}  // namespace

bool openWindow(int x, int y, int width, int height, const Text& title) {
    auto& s = state();
    if (!QApplication::instance()) return false;
    if (s.window) return true;
    static const QIcon icon = programIcon();
    if (!icon.isNull()) QApplication::setWindowIcon(icon);
    auto* window = new MainWindow;
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setMouseTracking(true);
    window->setWindowTitle(toQString(title));
    window->setGeometry(x, y, width, height);
    window->show();
    s.window = window;
    s.lists.clear();
    s.lists.push_back({window, 0});
    return true;
}

bool windowIsOpen() { return state().window != nullptr; }

void setWindowState(int windowState) {
    QWidget* window = state().window;
    if (!window) return;
    if (windowState == stateMaximised) {
        window->showMaximized();
    } else if (windowState == stateMinimised) {
        window->showMinimized();
    } else {
        window->showNormal();
    }
    QCoreApplication::processEvents();
}

int windowState() {
    QWidget* window = state().window;
    if (!window) return 0;
    Qt::WindowStates states = window->windowState();
    if (states & Qt::WindowMinimized) return stateMinimised;
    if (states & Qt::WindowMaximized) return stateMaximised;
    return stateNormal;
}

int windowX() { return state().window ? state().window->geometry().x() : 0; }
int windowY() { return state().window ? state().window->geometry().y() : 0; }
int windowWidth() { return state().window ? state().window->width() : 0; }
int windowHeight() { return state().window ? state().window->height() : 0; }

void windowBounds(int minWidth, int minHeight, int maxWidth, int maxHeight) {
    QWidget* window = state().window;
    if (!window) return;
    auto clamp = [](int value, int current, int unlimited) {
        if (value == ignoreValue) return current;
        if (value == -1) return unlimited;
        return value > 32000 ? 32000 : value;
    };
    window->setMinimumSize(clamp(minWidth, window->minimumWidth(), 0),
                           clamp(minHeight, window->minimumHeight(), 0));
    window->setMaximumSize(clamp(maxWidth, window->maximumWidth(), QWIDGETSIZE_MAX),
                           clamp(maxHeight, window->maximumHeight(), QWIDGETSIZE_MAX));
}

void setWindowCallback(WindowCallback callback) { state().callback = std::move(callback); }

void setWindowTitle(const Text& title) {
    if (state().window) state().window->setWindowTitle(toQString(title));
}

Text windowTitle() { return state().window ? fromQString(state().window->windowTitle()) : Text(); }

void shutDown() {
    auto& s = state();
    s.callback = nullptr;
    delete s.popupMenu;
    s.popupMenu = nullptr;
    s.menuItems.clear();
    delete s.window;
    s.window = nullptr;
    s.gadgets.clear();
    s.lists.clear();
    s.queue.clear();
    s.images.clear();
    s.fonts.clear();
    s.names.clear();
    dropHandCursor();
}

// ---- Screen -----------------------------------------------------------------------------

bool desktopSize(int& width, int& height) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    width = screen->geometry().width();
    height = screen->geometry().height();
    return true;
}

int screenDpiY() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(screen->logicalDotsPerInchY()) : 96;
}

int scrollBarWidth() { return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent); }

Colour systemWindowColour() { return fromQColor(QApplication::palette().color(QPalette::Base)); }

Colour systemTextColour() { return fromQColor(QApplication::palette().color(QPalette::Text)); }

void cursorPosition(int& x, int& y) {
    QPoint position = QCursor::pos();
    x = position.x();
    y = position.y();
}

bool gadgetScreenRect(Gadget gadget, int& x, int& y, int& width, int& height) {
    QWidget* widget = widgetOf(gadget);
    if (!widget) return false;
    QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    x = origin.x();
    y = origin.y();
    width = widget->width();
    height = widget->height();
    return true;
}

// ---- Fonts, images, cursors -------------------------------------------------------------

int loadFont(const Text& face, int points, int style) {
    QFont font(toQString(face));
    font.setPixelSize(points * screenDpiY() / 72);
    font.setBold(style & fontBold);
    font.setItalic(style & fontItalic);
    font.setUnderline(style & fontUnderline);
    font.setStrikeOut(style & fontStrikeOut);
    if (style & fontHighQuality) font.setStyleStrategy(QFont::PreferQuality);
    auto& s = state();
    int number = s.nextFont++;
    s.fonts[number] = font;
    return number;
}

void setDefaultGadgetFont(int font) { state().defaultFont = font; }

// Drawings are rendered at the screen's device pixel ratio, so they stay sharp at any scale;
// the pixmap's size in the program's pixels stays size × size.
int catchImage(const std::string& resource, int size) {
    QSvgRenderer renderer(QString::fromStdString(resource));
    QPixmap pixmap;
    if (renderer.isValid()) {
        const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
        const int pixels = static_cast<int>(size * ratio + 0.5);
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        pixmap = QPixmap::fromImage(image);
    } else if (!pixmap.load(QString::fromStdString(resource))) {
        return 0;
    }
    auto& s = state();
    int number = s.nextImage++;
    s.images[number] = pixmap;
    return number;
}

std::string resourceBytes(const std::string& resource) {
    QFile file(QString::fromStdString(resource));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void setHandCursor() {
    auto& s = state();
    if (s.handCursorShown) QGuiApplication::restoreOverrideCursor();
    QGuiApplication::setOverrideCursor(Qt::PointingHandCursor);
    s.handCursorShown = true;
}

// ---- Menus and shortcuts ----------------------------------------------------------------

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

// ---- Events -------------------------------------------------------------------------------

namespace {
int takeEvent() {
    auto& s = state();
    s.current = s.queue.front();
    s.queue.pop_front();
    return s.current.kind;
}
}  // namespace

int waitEvent() {
    auto& s = state();
    while (s.queue.empty()) {
        QCoreApplication::sendPostedEvents();
        if (!s.queue.empty()) break;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return takeEvent();
}

int pollEvent() {
    auto& s = state();
    if (s.queue.empty()) QCoreApplication::processEvents();
    if (s.queue.empty()) return 0;
    return takeEvent();
}

void discardPendingEvents() {
    while (pollEvent() != 0) {
    }
}

Gadget eventGadget() { return state().current.gadget; }
int eventType() { return state().current.type; }
int eventMenu() { return state().current.menuItem; }
int activatedItem() { return state().activatedRow; }

void delay(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// ---- Requesters and clipboard -----------------------------------------------------------

void messageBox(const Text& title, const Text& text) {
    auto& s = state();
    dropHandCursor();
    if (s.messageBoxHook) {
        s.messageBoxHook(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, toQString(title), toQString(text), QMessageBox::Ok,
                    s.window);
    box.exec();
}

std::unique_ptr<QDialog> binding::buildTextView(const Text& title, const std::vector<ViewLine>& lines) {
    auto& s = state();
    auto dialog = std::make_unique<QDialog>(s.window);
    dialog->setWindowTitle(toQString(title));
    auto* layout = new QVBoxLayout(dialog.get());
    auto* view = new QTextEdit(dialog.get());
    view->setReadOnly(true);
    view->setLineWrapMode(QTextEdit::NoWrap);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view);
    // Colours from the palette, so that a dark theme shows them as well as a light one.
    const QPalette palette = view->palette();
    const bool dark = palette.color(QPalette::Base).lightness() < 128;
    const QColor removed = dark ? QColor(90, 30, 30) : QColor(255, 228, 228);
    const QColor added = dark ? QColor(25, 75, 35) : QColor(222, 248, 226);
    QTextCursor cursor(view->document());
    bool first = true;
    for (const ViewLine& line : lines) {
        if (!first) cursor.insertBlock();
        first = false;
        QTextBlockFormat block;
        if (line.style == LineStyle::before) block.setBackground(removed);
        if (line.style == LineStyle::after) block.setBackground(added);
        cursor.setBlockFormat(block);
        for (const ViewPart& part : line.parts) {
            QTextCharFormat format;
            format.setForeground(palette.color(QPalette::Text));
            if (line.style == LineStyle::heading) format.setFontWeight(QFont::Bold);
            if (part.style == PartStyle::marked) {
                format.setBackground(palette.color(QPalette::Highlight));
                format.setForeground(palette.color(QPalette::HighlightedText));
            }
            if (part.style == PartStyle::faint) format.setForeground(palette.color(QPalette::PlaceholderText));
            cursor.insertText(toQString(part.text), format);
        }
    }
    view->moveCursor(QTextCursor::Start);
    if (s.window) dialog->resize(s.window->width() * 9 / 10, s.window->height() * 8 / 10);
    return dialog;
}

void showTextView(const Text& title, const std::vector<ViewLine>& lines) {
    auto& s = state();
    dropHandCursor();
    if (s.textViewHook) {
        s.textViewHook(title, lines);
        return;
    }
    std::unique_ptr<QDialog> dialog = binding::buildTextView(title, lines);
    dialog->exec();
}

bool questionBox(const Text& title, const Text& text, const Text& yes, const Text& no) {
    auto& s = state();
    dropHandCursor();
    if (s.questionBoxHook) return s.questionBoxHook(title, text);
    QMessageBox box(QMessageBox::Question, toQString(title), toQString(text), QMessageBox::NoButton, s.window);
    QPushButton* yesButton = box.addButton(toQString(yes), QMessageBox::YesRole);
    QPushButton* noButton = box.addButton(toQString(no), QMessageBox::NoRole);
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

namespace {
// "Name|*.a;*.b" becomes "Name (*.[aA] *.[bB])": Linux names are case-sensitive, the
// program's filters are not.
QString qtFilter(const Text& filter) {
    QString source = toQString(filter);
    QStringList parts = source.split('|');
    QStringList result;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            QString caseless;
            for (QChar c : pattern) {
                if (c.isLetter() && c.toLower() != c.toUpper()) {
                    caseless += QString("[%1%2]").arg(c.toLower()).arg(c.toUpper());
                } else {
                    caseless += c;
                }
            }
            patterns << caseless;
        }
        result << QString("%1 (%2)").arg(parts[i], patterns.join(' '));
    }
    return result.join(";;");
}
}  // namespace

std::vector<Text> openFileRequester(const Text& title, const Text& startPath, const Text& filter,
                                    bool multiple) {
    auto& s = state();
    if (s.fileRequesterHook) return s.fileRequesterHook(title, startPath, filter);
    dropHandCursor();
    QFileDialog dialog(s.window, toQString(title), toQString(startPath), qtFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    std::vector<Text> chosen;
    if (dialog.exec() != QDialog::Accepted) return chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(fromQString(file));
    return chosen;
}

Text pathRequester(const Text& title, const Text& startPath) {
    auto& s = state();
    Text chosen;
    if (s.pathRequesterHook) {
        chosen = s.pathRequesterHook(title, startPath);
    } else {
        dropHandCursor();
        QFileDialog dialog(s.window, toQString(title), toQString(startPath));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setFileMode(QFileDialog::Directory);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            chosen = fromQString(dialog.selectedFiles().front());
        }
    }
    if (!chosen.empty() && chosen.back() != u'/') chosen += u'/';
    return chosen;
}

// The clipboard holds LF line ends, as Linux programs expect; the program's CR LF and lone
// CR become LF.
void setClipboardText(const Text& text) {
    QString lines = toQString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QChar(u'\r'), QChar(u'\n'));
    QGuiApplication::clipboard()->setText(lines);
}

Text getClipboardText() { return fromQString(QGuiApplication::clipboard()->text()); }

void setMessageBoxHook(MessageBoxHook hook) { state().messageBoxHook = std::move(hook); }
void setQuestionBoxHook(QuestionBoxHook hook) { state().questionBoxHook = std::move(hook); }
void setTextViewHook(TextViewHook hook) { state().textViewHook = std::move(hook); }
void setFileRequesterHook(FileRequesterHook hook) { state().fileRequesterHook = std::move(hook); }
void setPathRequesterHook(PathRequesterHook hook) { state().pathRequesterHook = std::move(hook); }

// ---- Gadget name registry ---------------------------------------------------------------

void registerGadgetName(const std::string& name, Gadget* variable) { state().names[name] = variable; }

Gadget gadgetByName(const std::string& name) {
    auto& names = state().names;
    auto found = names.find(name);
    return found == names.end() || !found->second ? 0 : *found->second;
}

}  // namespace tk
