// The current texts and the language files.
//
// Language files live in "language/" under the working directory. Their names may be in
// any letter case: the selector shows a normalised name ("RUSSIAN.LNG" is "Russian"), and
// app.languageList keeps the real file name of every selector item after "Embedded", so
// that the file is always opened by the name it has on disk.

#include "app/languages.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/app_state.h"
#include "app/startup.h"
#include "app/window_title.h"
#include "ini/settings_file.h"
#include "ui/accessible_names.h"
#include "ui/tool_tips.h"

namespace {

const Text embeddedName = u"Embedded";

std::string languageFolder() { return textToUtf8(workingDirectory()) + "language/"; }

bool hasLanguageSuffix(const std::string& name) {
    if (name.size() < 4) return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return suffix == ".lng";
}

// The name the selector offers for a file name.
Text offeredName(const Text& fileName) {
    Text name = lowerCase(fileName);
    if (name.size() >= 4 && name.compare(name.size() - 4, 4, u".lng") == 0) {
        name.resize(name.size() - 4);
    }
    return normaliseLanguageName(name);
}

// The real name of the file for the selector's current item; empty for the built-in texts.
// "Embedded" is also the name of a file embedded.lng (in any case) when there is one.
Text selectedFileName() {
    const int item = tk::getGadgetState(app.g.languageCombo);
    const std::vector<Text>& files = app.languageList;
    if (item >= 1 && static_cast<size_t>(item) <= files.size()) return files[item - 1];
    if (item == 0) {
        for (const Text& file : files) {
            if (offeredName(file) == embeddedName) return file;
        }
    }
    return {};
}

void loadTexts(const Text& fileName) {
    const bool opened = !fileName.empty() && ini::open(languageFolder() + textToUtf8(fileName));
    if (opened) ini::useGroup("TEXT");
    for (const auto& [key, builtIn] : app.defaultTexts) {
        Text value = opened ? ini::getText(key, builtIn) : builtIn;
        app.texts[key] = value.empty() ? builtIn : value;
    }
    ini::close();
}

void relabelWindow() {
    const Gadgets& g = app.g;
    tk::setWindowTitle(composeWindowTitle());

    for (const char* key : {"esc", "tip", "ton", "rez", "hek", "lin"}) {
        tk::setGadgetText(app.options[key].gadget, text(key));
    }
    tk::setGadgetText(g.codePageLabel, text("txt11"));

    const char* const tabKeys[] = {"tabW", "tabP", "tabS"};
    for (int tab = 0; tab < 3; ++tab) {
        tk::setGadgetItemText(g.mainPanel, tab, text(tabKeys[tab]) + u" ");
    }

    for (int item = 1; item <= 7; ++item) {
        tk::setMenuItemText(item, text("pop" + std::to_string(item)));
    }

    for (Gadget label : {g.searchLabel1, g.searchLabel2}) tk::setGadgetText(label, text("txt5"));
    for (Gadget label : {g.replaceLabel1, g.replaceLabel2}) tk::setGadgetText(label, text("txt6"));
    tk::setGadgetText(g.sampleLabel, text("txt7"));
    for (Gadget button : {g.runButton1, g.runButton2}) tk::setGadgetText(button, text("but7"));
    tk::setGadgetText(g.undoButton, text("und1"));
    tk::setGadgetText(g.previewButton, text("pre1"));
    tk::addGadgetColumn(g.fileList, 2, text("pre2"), tk::getGadgetItemAttribute(g.fileList, 0, tk::columnWidth, 2));
    for (Gadget button : {g.workSave, g.searchSave1, g.replaceSave1, g.searchSave2, g.replaceSave2}) {
        tk::setGadgetText(button, text("but9"));
    }
    for (Gadget button :
         {g.workDelete, g.searchDelete1, g.replaceDelete1, g.searchDelete2, g.replaceDelete2}) {
        tk::setGadgetText(button, text("but0"));
    }

    buildToolTips();
    if (optionChecked("tip")) applyToolTips();
    nameGadgetsForAssistiveTechnology();
}

}  // namespace

Text text(std::string_view key) { return app.texts.get(key); }

Text normaliseLanguageName(TextView name) {
    Text normal = lowerCase(name);
    if (!normal.empty()) {
        const wint_t upper = std::towupper(static_cast<wint_t>(normal[0]));
        if (upper <= 0xFFFF && (upper < 0xD800 || upper > 0xDFFF)) normal[0] = static_cast<char16_t>(upper);
    }
    return normal;
}

void discoverLanguages() {
    const Gadget selector = app.g.languageCombo;
    app.languageList.clear();
    while (tk::countGadgetItems(selector) > 1) tk::removeGadgetItem(selector, 1);

    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator folder(languageFolder(), error);
    if (!error) {
        for (const auto& entry : folder) {
            std::error_code typeError;
            if (!entry.is_regular_file(typeError)) continue;
            const std::string name = entry.path().filename().string();
            if (hasLanguageSuffix(name)) names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());

    const Text stored = normaliseLanguageName(app.languageName);
    for (const std::string& name : names) {
        app.languageList.push_back(textFromUtf8(name));
        const Text offered = offeredName(app.languageList.back());
        tk::addGadgetItem(selector, -1, offered);
        if (offered == stored) {
            tk::setGadgetState(selector, static_cast<int>(app.languageList.size()));
        }
    }
    applyLanguage();
}

void applyLanguage() {
    loadTexts(selectedFileName());
    relabelWindow();
}
