// The saved texts of the combo boxes. Each kind keeps one list, newest first; every combo
// box of the kind shows exactly that list, so item i of a box and entry i of the list are
// the same entry. The list is written to the group COMBOBOX of tuning.ini at once on every
// save and delete, as prefix + position: name00 … name09, name10 … name29.

#include "app/histories.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/settings.h"
#include "ini/settings_file.h"
#include "ui/sounds.h"

namespace {

constexpr size_t historyLimit = 30;

enum class Kind { name, what, than };

// What one Save or Delete button works on.
struct Target {
    Kind kind = Kind::name;
    std::vector<HistoryEntry>* list = nullptr;
    const char* prefix = "";
    Gadget combo = 0;        // the pressed row's combo box
    Gadget editor = 0;       // the pressed row's editor (0 for file-name patterns)
    Gadget otherCombo = 0;   // the other row's combo box of the kind (0 for file-name patterns)
};

bool targetOf(Gadget button, Target& target) {
    const Gadgets& g = app.g;
    if (button == 0) return false;
    if (button == g.workSave || button == g.workDelete) {
        target = {Kind::name, &app.nameHistory, "name", g.workCombo, 0, 0};
    } else if (button == g.searchSave1 || button == g.searchDelete1) {
        target = {Kind::what, &app.whatHistory, "what", g.searchCombo1, g.searchEditor1, g.searchCombo2};
    } else if (button == g.searchSave2 || button == g.searchDelete2) {
        target = {Kind::what, &app.whatHistory, "what", g.searchCombo2, g.edi5, g.searchCombo1};
    } else if (button == g.replaceSave1 || button == g.replaceDelete1) {
        target = {Kind::than, &app.thanHistory, "than", g.replaceCombo1, g.replaceEditor1, g.replaceCombo2};
    } else if (button == g.replaceSave2 || button == g.replaceDelete2) {
        target = {Kind::than, &app.thanHistory, "than", g.replaceCombo2, g.edi6, g.replaceCombo1};
    } else {
        return false;
    }
    return true;
}

void refuse(Gadget focus) {
    playSound(app.errorSound);
    tk::setActiveGadget(focus);
}

bool isMultiLine(const Text& text) { return text.find_first_of(u"\r\n") != Text::npos; }

// Opens tuning.ini for a change of the lists. A file that is gone since start-up is not
// created again here; the change is then refused.
bool openSettings() {
    if (ini::open(settingsFile)) return true;
    ini::close();
    return false;
}

// Gives the list's entries the keys prefix00, prefix01, … in list order and writes them,
// with the settings file open and COMBOBOX selected. Every old key goes first, so the
// kind's keys end up together at the end of the group, in list order.
void renumberAndRewrite(std::vector<HistoryEntry>& list, const char* prefix) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].key.empty()) ini::eraseKey(list[i].key);
        list[i].key = prefix + std::string(i < 10 ? "0" : "") + std::to_string(i);
    }
    for (const HistoryEntry& entry : list) ini::setText(entry.key, entry.text);
}

bool removeSelected(const Target& target) {
    std::vector<HistoryEntry>& list = *target.list;
    if (target.kind == Kind::name && tk::getGadgetText(target.combo).empty()) {
        refuse(target.combo);
        return false;
    }
    const int index = tk::getGadgetState(target.combo);
    if (index < 0 || static_cast<size_t>(index) >= list.size()) {
        refuse(target.kind == Kind::name ? target.combo : target.editor);
        return false;
    }
    if (!openSettings()) return false;
    ini::useGroup("COMBOBOX");

    tk::removeGadgetItem(target.combo, index);
    if (target.otherCombo != 0) tk::removeGadgetItem(target.otherCombo, index);
    if (target.kind == Kind::name) {
        tk::setGadgetText(target.combo, Text());
        tk::setActiveGadget(target.combo);
    } else {
        tk::setActiveGadget(target.editor);
    }

    ini::eraseKey(list[index].key);
    list.erase(list.begin() + index);
    renumberAndRewrite(list, target.prefix);
    ini::close();
    playSound(app.successSound);
    return true;
}

}  // namespace

void loadHistories() {
    app.nameHistory.clear();
    app.whatHistory.clear();
    app.thanHistory.clear();
    if (!ini::beginKeyScan()) return;
    while (ini::nextKey()) {
        const std::string key = textToUtf8(ini::scannedKey());
        const std::string prefix = key.substr(0, 4);
        std::vector<HistoryEntry>* list = nullptr;
        if (prefix == "name") list = &app.nameHistory;
        if (prefix == "what") list = &app.whatHistory;
        if (prefix == "than") list = &app.thanHistory;
        if (list) list->push_back({key, ini::scannedValue()});
    }
    auto byKey = [](const HistoryEntry& a, const HistoryEntry& b) { return a.key < b.key; };
    for (auto* list : {&app.nameHistory, &app.whatHistory, &app.thanHistory}) {
        std::stable_sort(list->begin(), list->end(), byKey);
    }
}

void writeHistories() {
    ini::useGroup("COMBOBOX");
    for (const auto* list : {&app.nameHistory, &app.whatHistory, &app.thanHistory}) {
        for (const HistoryEntry& entry : *list) ini::setText(entry.key, entry.text);
    }
}

void fillHistoryBoxes() {
    const Gadgets& g = app.g;
    const struct { Gadget combo; const std::vector<HistoryEntry>* list; } boxes[] = {
        {g.workCombo, &app.nameHistory},    {g.searchCombo1, &app.whatHistory},
        {g.searchCombo2, &app.whatHistory}, {g.replaceCombo1, &app.thanHistory},
        {g.replaceCombo2, &app.thanHistory},
    };
    for (const auto& box : boxes) {
        for (const HistoryEntry& entry : *box.list) tk::addGadgetItem(box.combo, -1, entry.text);
    }
}

void saveEntry(Gadget button) {
    Target target;
    if (!targetOf(button, target)) return;
    std::vector<HistoryEntry>& list = *target.list;

    Text entry;
    if (target.kind == Kind::name) {
        entry = tk::getGadgetText(target.combo);
        if (entry.empty()) {
            refuse(target.combo);
            return;
        }
    } else {
        entry = tk::getGadgetText(target.editor);
        if (entry.empty() || isMultiLine(entry)) {
            refuse(target.editor);
            return;
        }
    }

    // A full list first loses its oldest entries, the way the user would remove them.
    while (list.size() >= historyLimit) {
        const int last = tk::countGadgetItems(target.combo) - 1;
        // The item is chosen by position: the text alone may name a newer duplicate.
        tk::setGadgetText(target.combo, tk::getGadgetItemText(target.combo, last));
        tk::setGadgetState(target.combo, last);
        const bool removed = removeSelected(target);
        if (target.kind == Kind::name) tk::setGadgetText(target.combo, entry);
        if (!removed) return;
    }

    if (!openSettings()) return;
    ini::useGroup("COMBOBOX");
    if (target.kind == Kind::name) {
        tk::setGadgetText(target.combo, Text());
        tk::addGadgetItem(target.combo, 0, entry);
        tk::setActiveGadget(target.combo);
    } else {
        tk::addGadgetItem(target.combo, 0, entry);
        tk::addGadgetItem(target.otherCombo, 0, entry);
        tk::setActiveGadget(target.editor);
    }
    list.insert(list.begin(), HistoryEntry{std::string(), entry});
    renumberAndRewrite(list, target.prefix);
    ini::close();
    playSound(app.successSound);
}

void deleteEntry(Gadget button) {
    Target target;
    if (targetOf(button, target)) removeSelected(target);
}
