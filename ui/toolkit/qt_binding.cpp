// The toolkit's shared state over Qt: the gadgets by number, the queue of events, and the
// conversions between the program's text and colours and Qt's.

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>

#include "ui/toolkit/qt_binding.h"

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

}  // namespace binding
}  // namespace tk
