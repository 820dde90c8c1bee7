// Start-up in its fixed order, the defaults of the shared state, and shutdown.

#include "app/startup.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "app/backup_folder.h"
#include "app/code_pages.h"
#include "app/event_loop.h"
#include "app/histories.h"
#include "app/languages.h"
#include "app/window_title.h"
#include "app/settings.h"
#include "app/undo.h"
#include "app/text_table.h"
#include "ui/colours.h"
#include "ui/main_window.h"
#include "ui/sound/sound_backend.h"
#include "ui/sounds.h"
#include "ui/tool_tips.h"
#include "ui/toolkit/toolkit.h"

AppState app;
// The window's pieces work on the program's state from the start (it is reset in place, so
// the binding holds for the whole process).
const bool appBoundAsWindowModel = (bindWindowModel(app), true);

Text workingDirectory() {
    std::string buffer(PATH_MAX, '\0');
    Text directory;
    if (getcwd(buffer.data(), buffer.size())) directory = textFromUtf8(buffer.c_str());
    if (directory.empty() || directory.back() != u'/') directory += u'/';
    return directory;
}

void initialiseAppState(const Text& directory, int desktopWidth, int desktopHeight) {
    app = AppState{};
    tk::registerGadgetName("txt1", &app.g.txt1);
    tk::registerGadgetName("txt2", &app.g.txt2);
    tk::registerGadgetName("txt3", &app.g.txt3);
    tk::registerGadgetName("edi4", &app.g.edi4);
    tk::registerGadgetName("edi5", &app.g.edi5);
    tk::registerGadgetName("edi6", &app.g.edi6);

    fillColourTable(app.colours);

    static const struct { const char* key; const char* iniKey; uint8_t state; } optionTable[] = {
        {"tip", "tips", 1},      {"esc", "esc", 1},       {"ton", "sound", 1},
        {"reg1", "reg_exp1", 0}, {"cas1", "case1", 1},    {"spa1", "space1", 0},
        {"reg2", "reg_exp2", 0}, {"cas2", "case2", 1},    {"spa2", "space2", 0},
        {"hek", "check", 1},     {"rez", "reserve", 1},   {"lin", "lineends", 0},
    };
    for (const auto& option : optionTable) app.options[option.key].iniKey = option.iniKey;
    for (const auto& option : optionTable) app.options[option.key].state = option.state;

    app.activePanel = 2;
    app.minWindowWidth = 700;
    app.minWindowHeight = 600;
    app.languageName = u"Embedded";
    // Read from the environment, whatever LC_CTYPE the program has put itself on.
    app.systemCharset = localeCharset();
    app.codePage = u"System";

    app.windowRect = WindowRect{0, 0, app.minWindowWidth, app.minWindowHeight, 0};
    if (desktopWidth > 0 && desktopHeight > 0) {
        app.windowRect.x = desktopWidth / 2 - app.windowRect.width / 2;
        app.windowRect.y = desktopHeight / 2 - app.windowRect.height / 2;
    }

    app.lineBreak = u"\r\n";
    app.paragraphBreak = app.lineBreak + app.lineBreak;
    app.newLine = u"\n";
    app.quoteMark = u"\"";
    app.margin = 7;
    app.doubleMargin = 2 * app.margin;

    static const struct { const char* key; const char* iniKey; uint8_t state; const char* picture; }
        extensionTable[] = {
            {"txt", "butTXT", 0, ":/icons/ext_txt_on.svg"},
            {"hta", "butHTA", 0, ":/icons/ext_hta_on.svg"},
            {"htm", "butHTM", 0, ":/icons/ext_htm_on.svg"},
            {"htl", "butHTML", 1, ":/icons/ext_html_on.svg"},
        };
    for (const auto& extension : extensionTable) {
        ExtensionEntry& entry = app.extensions[extension.key];
        entry.state = extension.state;
        entry.iniKey = extension.iniKey;
        entry.picture = extension.picture;
    }

    Text folder = directory;
    if (folder.empty() || folder.back() != u'/') folder += u'/';
    app.paths.filesLoaded = app.paths.files = folder;
    app.paths.foldersLoaded = app.paths.folders = folder;
    app.paths.root.clear();
    app.paths.backup = folder + u"reserve/";

    buildTextTable(app.defaultTexts);
}

bool openProgramWindow() {
    loadSettings();
    Text title = composeWindowTitle();
    const WindowRect& rect = app.windowRect;
    if (!tk::openWindow(rect.x, rect.y, rect.width, rect.height, title)) return false;
    if (rect.maximised != 0) {
        tk::setWindowState(tk::stateMaximised);
        app.clientWidth = static_cast<uint16_t>(tk::windowWidth());
        app.clientHeight = static_cast<uint16_t>(tk::windowHeight());
    } else {
        app.clientWidth = static_cast<uint16_t>(rect.width);
        app.clientHeight = static_cast<uint16_t>(rect.height);
    }
    tk::windowBounds(app.minWindowWidth, app.minWindowHeight, -1, -1);

    const Text face = u"Courier New";
    app.fonts[1] = tk::loadFont(face, 13, tk::fontBold | tk::fontItalic);
    app.fonts[2] = tk::loadFont(face, 13, tk::fontBold | tk::fontHighQuality);
    app.fonts[3] = tk::loadFont(face, 23, tk::fontBold);
    app.fonts[4] = tk::loadFont(face, 11, 0);
    app.fonts[5] = tk::loadFont(face, 10, tk::fontBold);
    app.fonts[6] = tk::loadFont(face, 11, tk::fontBold | tk::fontHighQuality);

    if (startSoundSystem()) loadSounds();

    buildMainWindow();
    // What the window shows of the program's state: the code pages, the histories, the
    // language (with it the tool tips and accessible names) and the backup folder.
    fillCodePageSelector();
    fillHistoryBoxes();
    discoverLanguages();
    buildToolTips();
    ensureDefaultBackupFolder();
    // The tree was opened before the default folder existed: open it there now.
    tk::setGadgetText(app.g.backupTree, tk::getGadgetText(app.g.backupTree));
    refreshUndoButton();
    tk::setWindowCallback(layoutCallback);
    tk::addKeyboardShortcut(tk::keyEscape, 0);
    runButtonProc(app.g.runButton1);
    runButtonProc(app.g.runButton2);
    return true;
}

void closeProgramWindow() {
    saveSettings();
    tk::shutDown();
}

int runProgram(int argc, char** argv) {
    useUtf8Locale();
    std::string problem;
    if (!tk::startToolkit(argc, argv, &problem)) {
        // Without a window there is nothing to do: the settings stay as they are.
        std::fprintf(stderr, "replace-in-files: %s\n", problem.c_str());
        return 0;
    }
    int desktopWidth = 0;
    int desktopHeight = 0;
    tk::desktopSize(desktopWidth, desktopHeight);
    initialiseAppState(workingDirectory(), desktopWidth, desktopHeight);
    if (openProgramWindow()) {
        runEventLoop();
        closeProgramWindow();
    }
    return 0;
}
