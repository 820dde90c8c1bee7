// The screen: its size and resolution, the system's colours and metrics, where the
// pointer and a gadget are.

#include <QApplication>
#include <QCursor>
#include <QPalette>
#include <QScreen>
#include <QStyle>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

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

}  // namespace tk
