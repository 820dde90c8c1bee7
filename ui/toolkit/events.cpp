// The program's event loop: waiting for and polling the queue of toolkit events.

#include <QCoreApplication>

#include <chrono>
#include <thread>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

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

}  // namespace tk
