// The application and window 0: starting the toolkit (after making sure a display answers),
// the program's window with its icon, size and state, and shutting down.

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
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

using namespace binding;

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

}  // namespace tk
