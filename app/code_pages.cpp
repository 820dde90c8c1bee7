#include "app/code_pages.h"

#include <vector>

#include "app/app_state.h"
#include "engine/text_file.h"

namespace {

// The legacy sets of sites made on desktops with other code pages, in the selector's order.
constexpr const char* legacyCodePages[] = {
    "CP1250",     "CP1251",     "CP1252",     "CP1253",     "CP1254",      "CP1255", "CP1256", "CP1257",
    "CP1258",     "CP866",      "KOI8-R",     "KOI8-U",     "ISO-8859-1",  "ISO-8859-2", "ISO-8859-5",
    "ISO-8859-7", "ISO-8859-9", "ISO-8859-15", "CP874",     "CP932",       "CP936",  "CP949",  "CP950",
};

// The legacy code pages iconv converts here, found once.
const std::vector<Text>& offeredCodePages() {
    static const std::vector<Text> offered = [] {
        std::vector<Text> names;
        for (const char* name : legacyCodePages)
            if (charsetIsAvailable(name)) names.push_back(textFromUtf8(name));
        return names;
    }();
    return offered;
}

}  // namespace

Text knownCodePage(const Text& name) {
    for (const Text& offered : offeredCodePages())
        if (offered == name) return name;
    return systemCodePage;
}

void fillCodePageSelector() {
    const Gadget selector = app.g.codePageCombo;
    tk::clearGadgetItems(selector);
    tk::addGadgetItem(selector, -1, systemCodePage + u" (" + textFromUtf8(app.systemCharset) + u")");
    tk::setGadgetState(selector, 0);
    for (const Text& name : offeredCodePages()) {
        tk::addGadgetItem(selector, -1, name);
        if (name == app.codePage) tk::setGadgetState(selector, tk::countGadgetItems(selector) - 1);
    }
}

Text chosenCodePage() {
    const Gadget selector = app.g.codePageCombo;
    const int item = tk::getGadgetState(selector);
    return item <= 0 ? systemCodePage : tk::getGadgetItemText(selector, item);
}

std::string chosenCharset() {
    const Text name = chosenCodePage();
    return name == systemCodePage ? app.systemCharset : textToUtf8(name);
}
