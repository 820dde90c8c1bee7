// Fonts, images and cursors: fonts by number, drawings rendered at the screen's scale, the
// bytes of embedded resources, and the hand cursor.

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <string>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

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

}  // namespace tk
