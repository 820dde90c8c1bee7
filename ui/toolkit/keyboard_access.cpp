// The keyboard's way through window 0: Tab and Shift+Tab step through the visible gadgets
// in reading order; the program's service gadgets are hidden and never reached.

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <algorithm>
#include <vector>

#include "ui/toolkit/qt_binding.h"

namespace tk {
using namespace binding;

namespace {

// Whether the keyboard may bring the focus to a gadget now.
bool reachable(const GadgetRecord& r) {
    const QWidget* w = r.widget.data();
    return w && !r.service && w->isVisible() && w->isEnabled() && w->width() > 0 && w->height() > 0 &&
           (w->focusPolicy() & Qt::TabFocus) != 0;
}

QPoint placeOf(const QWidget* w) { return w->mapToGlobal(QPoint(0, 0)); }

// Reading order: top to bottom, then left to right.
bool readsBefore(const QPoint& a, const QPoint& b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }

// Moves the focus to the next (or previous) reachable gadget after the one that has it,
// coming round at the ends. From a service gadget (the focus sink) the walk goes on from
// the gadget clicked last.
void stepFocus(bool backwards) {
    std::vector<QWidget*> stops;
    for (auto& [number, r] : state().gadgets)
        if (reachable(r) && r.widget->window() == state().window) stops.push_back(r.widget.data());
    if (stops.empty()) return;
    std::sort(stops.begin(), stops.end(),
              [](const QWidget* a, const QWidget* b) { return readsBefore(placeOf(a), placeOf(b)); });

    const GadgetRecord* current = record(gadgetOfWidget(QApplication::focusWidget()));
    if (!current || current->service) current = record(state().lastClicked);
    QWidget* next = nullptr;
    if (!current || !current->widget->isVisible()) {
        next = backwards ? stops.back() : stops.front();
    } else {
        const QPoint here = placeOf(current->widget.data());
        const QWidget* self = current->widget.data();
        if (!backwards) {
            auto after = std::find_if(stops.begin(), stops.end(), [&](const QWidget* w) {
                return w != self && readsBefore(here, placeOf(w));
            });
            next = after == stops.end() ? stops.front() : *after;
        } else {
            auto before = std::find_if(stops.rbegin(), stops.rend(), [&](const QWidget* w) {
                return w != self && readsBefore(placeOf(w), here);
            });
            next = before == stops.rend() ? stops.back() : *before;
        }
    }
    next->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
}

// Tab and Shift+Tab in window 0. In an editor Tab is typed; Ctrl+Tab and Ctrl+Shift+Tab
// leave it. Elsewhere Ctrl+Tab is left to the tab panel, which turns its pages with it.
class KeyboardWalk : public QObject {
protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) return false;
        auto* widget = qobject_cast<QWidget*>(target);
        if (!widget || !state().window || widget->window() != state().window) return false;
        const bool control = (key->modifiers() & Qt::ControlModifier) != 0;
        const bool backwards = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier) != 0;
        const bool inEditor = qobject_cast<QPlainTextEdit*>(widgetOf(gadgetOfWidget(QApplication::focusWidget())));
        if (inEditor && !control && !backwards) return false;
        if (!inEditor && control) return false;
        stepFocus(backwards);
        return true;
    }
};

}  // namespace

namespace binding {

void installKeyboardWalk() { QCoreApplication::instance()->installEventFilter(new KeyboardWalk); }

}  // namespace binding

void makeServiceGadget(Gadget gadget) {
    GadgetRecord* r = record(gadget);
    if (!r) return;
    r->service = true;
    r->widget->setFocusPolicy(Qt::NoFocus);
    // Hidden, it is neither reached nor offered; an editor keeps its text all the same.
    r->widget->hide();
}

void setGadgetAccessibleName(Gadget gadget, const Text& name) {
    if (QWidget* w = widgetOf(gadget)) w->setAccessibleName(toQString(name));
}

}  // namespace tk
