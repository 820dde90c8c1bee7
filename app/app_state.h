#pragma once
// The one application-wide state record, alive for the whole process and read and written
// directly by every command of the program.

#include <cstdint>
#include <string>
#include <vector>

#include "app/text_table.h"
#include "engine/text.h"
#include "ui/window_model.h"

// One saved combo-box text and the settings key it is stored under.
struct HistoryEntry {
    std::string key;
    Text text;
};

// The program's state: the window's model and what only the commands use. Its one
// instance is the model the window's pieces are bound to.
struct AppState : WindowModel {
    Text languageName = u"Embedded";
    std::vector<Text> languageList;

    // The character set of the user's locale, taken at start-up: the code page "System".
    std::string systemCharset = "UTF-8";
    // The stored choice of code page for files without a mark ("System" or a set's name).
    Text codePage = u"System";

    Text lineBreak;
    Text paragraphBreak;
    Text newLine;
    Text quoteMark;

    std::vector<HistoryEntry> nameHistory;
    std::vector<HistoryEntry> whatHistory;
    std::vector<HistoryEntry> thanHistory;
    std::vector<Text> filePaths;
};

extern AppState app;

// Whether the check box of an option is checked now: commands read the live gadget, not
// the stored state.
inline bool optionChecked(std::string_view key) { return app.checked(key); }
