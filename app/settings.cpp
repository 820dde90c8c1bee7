// The settings file tuning.ini: reading it at start-up, the default file, and writing back
// at exit what the user changed.

#include "app/settings.h"

#include "app/app_state.h"
#include "app/code_pages.h"
#include "app/histories.h"
#include "app/languages.h"
#include "ini/settings_file.h"

namespace {

bool isFlag(int32_t value) { return value == 0 || value == 1; }

void writeWindowGeometry() {
    ini::useGroup("WINDOW");
    ini::setInt("left", app.windowRect.x);
    ini::setInt("top", app.windowRect.y);
    ini::setInt("width", app.windowRect.width);
    ini::setInt("height", app.windowRect.height);
    ini::setInt("full", app.windowRect.maximised);
}

bool anyOptionChanged() {
    const Gadgets& g = app.g;
    if (tk::getGadgetText(g.languageCombo) != app.languageName) return true;
    if (chosenCodePage() != app.codePage) return true;
    if (tk::getGadgetState(g.mainPanel) != app.activePanel) return true;
    for (const auto& [key, option] : app.options) {
        if (tk::getGadgetState(option.gadget) != option.state) return true;
    }
    for (const auto& [key, extension] : app.extensions) {
        if (tk::getGadgetState(extension.gadget) != extension.state) return true;
    }
    if (app.paths.files != app.paths.filesLoaded) return true;
    if (app.paths.folders != app.paths.foldersLoaded) return true;
    return tk::getGadgetText(g.backupPathText) != app.paths.backup;
}

// Writes the live states of the Setting tab, the option boxes, the toggles and the paths
// into the open settings file.
void writeLiveOptions() {
    const Gadgets& g = app.g;
    ini::useGroup("COMBOBOX");
    ini::setText("language", tk::getGadgetText(g.languageCombo));
    ini::setText("codepage", chosenCodePage());
    ini::useGroup("CHECKBOX");
    for (const auto& [key, option] : app.options) {
        ini::setInt(option.iniKey, tk::getGadgetState(option.gadget) == 1 ? 1 : 0);
    }
    ini::useGroup("PANELS");
    ini::setInt("panel", tk::getGadgetState(g.mainPanel));
    ini::useGroup("EXPANSION");
    for (const auto& [key, extension] : app.extensions) {
        ini::setInt(extension.iniKey, tk::getGadgetState(extension.gadget) == 1 ? 1 : 0);
    }
    ini::useGroup("PATH");
    ini::setText("files", app.paths.files);
    ini::setText("folders", app.paths.folders);
    ini::setText("system", tk::getGadgetText(g.backupPathText));
}

void saveOptions() {
    if (!anyOptionChanged()) return;
    if (!ini::open(settingsFile)) {
        // The file went away while the program ran: start a fresh one, then put the
        // user's current choices and kept combo-box texts into it rather than losing them.
        ini::close();
        writeDefaultSettings();
        if (!ini::open(settingsFile)) {
            ini::close();
            return;
        }
        writeHistories();
    }
    writeLiveOptions();
    ini::close();
}

void saveWindow() {
    const int stateNow = tk::windowState();
    const WindowRect& stored = app.windowRect;
    // A window that was and still is maximised keeps its normal-size geometry in the file.
    if (stored.maximised != 0 && stateNow != 0) return;
    if (tk::windowX() == stored.x && tk::windowY() == stored.y &&
        tk::windowWidth() == stored.width && tk::windowHeight() == stored.height &&
        stateNow == stored.maximised) {
        return;
    }
    if (!ini::open(settingsFile)) {
        ini::close();
        return;
    }
    ini::useGroup("WINDOW");
    if (stateNow != 0) {
        ini::setInt("full", stateNow);
    } else {
        ini::setInt("left", tk::windowX());
        ini::setInt("top", tk::windowY());
        ini::setInt("width", tk::windowWidth());
        ini::setInt("height", tk::windowHeight());
        ini::setInt("full", 0);
    }
    ini::close();
}

}  // namespace

void loadSettings() {
    if (!ini::open(settingsFile)) {
        ini::close();
        writeDefaultSettings();
        return;
    }

    WindowRect& rect = app.windowRect;
    ini::useGroup("WINDOW");
    rect.x = ini::getInt("left", rect.x);
    rect.y = ini::getInt("top", rect.y);
    rect.width = ini::getInt("width", rect.width);
    rect.height = ini::getInt("height", rect.height);
    rect.maximised = ini::getInt("full", rect.maximised);
    if (rect.width < app.minWindowWidth) rect.width = app.minWindowWidth;
    if (rect.height < app.minWindowHeight) rect.height = app.minWindowHeight;

    ini::useGroup("COMBOBOX");
    app.languageName = normaliseLanguageName(ini::getText("language", u"Embedded"));
    app.codePage = knownCodePage(ini::getText("codepage", systemCodePage));
    loadHistories();

    ini::useGroup("CHECKBOX");
    for (auto& [key, option] : app.options) {
        const int32_t value = ini::getInt(option.iniKey, option.state);
        if (isFlag(value)) option.state = static_cast<uint8_t>(value);
    }

    ini::useGroup("PANELS");
    const int32_t panel = ini::getInt("panel", app.activePanel);
    if (panel >= 0 && panel <= 2) app.activePanel = panel;

    ini::useGroup("EXPANSION");
    for (auto& [key, extension] : app.extensions) {
        const int32_t value = ini::getInt(extension.iniKey, extension.state);
        if (isFlag(value)) extension.state = static_cast<uint8_t>(value);
    }

    Paths& paths = app.paths;
    ini::useGroup("PATH");
    paths.filesLoaded = ini::getText("files", paths.filesLoaded);
    paths.foldersLoaded = ini::getText("folders", paths.foldersLoaded);
    paths.backup = ini::getText("system", paths.backup);
    paths.files = paths.filesLoaded;
    paths.folders = paths.foldersLoaded;

    ini::close();
}

void writeDefaultSettings() {
    if (!ini::create(settingsFile)) {
        ini::close();
        return;
    }
    writeWindowGeometry();
    ini::useGroup("COMBOBOX");
    ini::setText("language", u"Embedded");
    ini::useGroup("CHECKBOX");
    for (const auto& [key, option] : app.options) ini::setInt(option.iniKey, option.state);
    ini::useGroup("PANELS");
    ini::setInt("panel", app.activePanel);
    ini::useGroup("EXPANSION");
    for (const auto& [key, extension] : app.extensions) {
        ini::setInt(extension.iniKey, extension.state);
    }
    ini::useGroup("PATH");
    ini::setText("files", app.paths.filesLoaded);
    ini::setText("folders", app.paths.foldersLoaded);
    ini::setText("system", app.paths.backup);
    ini::close();
}

void saveSettings() {
    saveOptions();
    saveWindow();
}
