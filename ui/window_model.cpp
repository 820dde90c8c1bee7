// The binding of the window's pieces to the model the command layer owns.

#include "ui/window_model.h"

#include <cassert>

namespace {
WindowModel* bound = nullptr;
}

void bindWindowModel(WindowModel& model) { bound = &model; }

WindowModel& windowModel() {
    assert(bound != nullptr);
    return *bound;
}
