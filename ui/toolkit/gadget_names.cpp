// The gadget name registry: the program's gadget variables by name, for tests and tools.

#include <string>

#include "ui/toolkit/qt_binding.h"

namespace tk {

using namespace binding;

void registerGadgetName(const std::string& name, Gadget* variable) { state().names[name] = variable; }

Gadget gadgetByName(const std::string& name) {
    auto& names = state().names;
    auto found = names.find(name);
    return found == names.end() || !found->second ? 0 : *found->second;
}

}  // namespace tk
