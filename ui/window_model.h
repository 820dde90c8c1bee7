#pragma once
// What the window's pieces read and write: the gadgets by role, the option boxes, toggles
// and tool tips, the texts, colours, fonts and sounds, the window's size and the folders it
// shows. The window's command layer owns the one model and binds it before the window is
// built; the pieces of the window reach it through windowModel().

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/text.h"
#include "ini/ordered_map.h"
#include "ui/toolkit/toolkit.h"

using tk::Gadget;

// One persistent on/off option shown by a check box.
struct OptionEntry {
    std::string iniKey;
    uint8_t state = 0;  // stored state; commands read the live check box instead
    Gadget gadget = 0;
};

// One file-extension toggle button.
struct ExtensionEntry {
    std::string iniKey;
    uint8_t state = 0;
    Gadget gadget = 0;
    std::string picture;  // embedded picture shown while the toggle is pressed
};

// One tool tip: the gadget that shows it and its text without the padding spaces.
struct ToolTipEntry {
    Gadget gadget = 0;
    Text text;
};

struct WindowRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 700;
    int32_t height = 600;
    int32_t maximised = 0;
};

// The six folders of the program; every folder ends with "/".
struct Paths {
    Text filesLoaded;    // "files" as loaded from the settings
    Text files;          // where "Add files" opens now
    Text foldersLoaded;  // "folders" as loaded
    Text folders;        // where "Add folders" opens now
    Text root;           // root folder of the current file set (not stored)
    Text backup;         // backup folder
};

// Gadget numbers of the main window, by role.
struct Gadgets {
    Gadget focusSink = 0, scratchEditor = 0;
    Gadget editorBuffer[5] = {0, 0, 0, 0, 0};
    Gadget mainPanel = 0, workPage = 0, polygonPage = 0, settingPage = 0;
    // Work tab
    Gadget fileList = 0, toolBar = 0, workCombo = 0, workSave = 0, workDelete = 0;
    Gadget addFilesButton = 0, addFoldersButton = 0, runButton1 = 0, undoButton = 0, previewButton = 0;
    Gadget txt1 = 0, txt2 = 0, txt3 = 0;
    Gadget searchBox1 = 0, searchLabel1 = 0, searchSave1 = 0, searchDelete1 = 0,
           searchCombo1 = 0, searchEditor1 = 0;
    Gadget replaceBox1 = 0, replaceLabel1 = 0, replaceSave1 = 0, replaceDelete1 = 0,
           replaceCombo1 = 0, replaceEditor1 = 0;
    Gadget resultBox = 0, resultText = 0;
    Gadget progressBar = 0;  // the Work tab's bar of long work (core/progress.h)
    // Polygon tab
    Gadget runButton2 = 0, sampleBox = 0, sampleLabel = 0, edi4 = 0;
    Gadget searchBox2 = 0, searchLabel2 = 0, searchSave2 = 0, searchDelete2 = 0,
           searchCombo2 = 0, edi5 = 0;
    Gadget replaceBox2 = 0, replaceLabel2 = 0, replaceSave2 = 0, replaceDelete2 = 0,
           replaceCombo2 = 0, edi6 = 0;
    // Setting tab
    Gadget languageCombo = 0, codePageLabel = 0, codePageCombo = 0, backupPathText = 0, backupTree = 0;
    // The editor on which the popup menu was opened last.
    Gadget popupEditor = 0;
};

// Named colours: red in the low byte, then green, then blue.
using ColourMap = OrderedMap<uint32_t>;

struct WindowModel {
    OrderedMap<OptionEntry> options;
    OrderedMap<ExtensionEntry> extensions;
    ColourMap colours;
    OrderedMap<ToolTipEntry> toolTips;
    TextMap texts;
    TextMap defaultTexts;

    WindowRect windowRect;
    uint16_t minWindowWidth = 700;
    uint16_t minWindowHeight = 600;
    uint16_t clientWidth = 0;
    uint16_t clientHeight = 0;
    int32_t margin = 7;
    int32_t doubleMargin = 14;
    int32_t activePanel = 2;
    int32_t scrollBarAllowance = 0;

    Paths paths;
    int fonts[7] = {0, 0, 0, 0, 0, 0, 0};  // fonts 1 to 6
    int successSound = 0;
    int errorSound = 0;
    int copySound = 0;

    Gadgets g;

    // Whether the check box of an option is checked now (the live gadget, not the stored
    // state).
    bool checked(std::string_view key) const { return tk::getGadgetState(options.get(key).gadget) == 1; }
    // The current text of a key; the empty text for a key the current texts don't hold.
    const Text& text(std::string_view key) const { return texts.get(key); }
};

// Makes model the one the window's pieces use (it must outlive them).
void bindWindowModel(WindowModel& model);
// The bound model.
WindowModel& windowModel();
