#pragma once
// The real program window in a fresh temporary working folder, for the window tests.
//
// ProgramWindowTest makes the folder and changes into it, plays sounds into the back end's
// silent output (so clips can be counted on any machine), answers message boxes and
// requesters through hooks and lets the result box go without waiting. At the end it
// closes the window if it is still open, goes back to the previous working directory and
// removes the folder. The state and the window are left to the test or its fixture:
// initialise() (or initialiseForDesktop()) and openWindow(), or start() for both at once.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temporary_folder.h"

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "app/messages.h"
#include "ui/sound/sound_backend.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace testing_support {

namespace fs = std::filesystem;

constexpr int workTab = 0;
constexpr int polygonTab = 1;
constexpr int settingTab = 2;

// Hands every queued event to the event loop's rules, as the running loop would.
inline void processEvents() {
    tk::testing::settle();
    int kind;
    while ((kind = tk::pollEvent()) != 0) handleEvent(kind);
}

inline void click(Gadget gadget) {
    tk::testing::clickGadget(gadget);
    processEvents();
}

inline void choose(Gadget combo, int item) {
    tk::testing::chooseComboItem(combo, item);
    processEvents();
}

// Writes a file (relative paths are in the working folder), making its folders first.
inline void writeFile(const fs::path& path, const std::string& bytes) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The whole file as bytes; empty when it cannot be read.
inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool contains(const std::string& haystack, const std::string& needle) {
    return haystack.find(needle) != std::string::npos;
}

// A settings file in the program's own form: mark, empty line, CR LF line ends.
inline std::string iniBytes(std::initializer_list<const char*> lines) {
    std::string bytes = "\xEF\xBB\xBF\r\n";
    for (const char* line : lines) bytes += std::string(line) + "\r\n";
    return bytes;
}

inline std::string settings() { return readFile("tuning.ini"); }

struct ShownMessage {
    Text title;
    Text text;
};

// While alive, the process acts as an ordinary user (when it runs as root, which passes
// every permission check), so that read-only files and folders are refused as they are
// for a person.
class AsOrdinaryUser {
public:
    AsOrdinaryUser() {
        if (geteuid() == 0) {
            switched_ = setegid(65534) == 0 && seteuid(65534) == 0;
        }
    }
    ~AsOrdinaryUser() {
        if (switched_) {
            if (seteuid(0) != 0 || setegid(0) != 0) std::abort();
        }
    }
    AsOrdinaryUser(const AsOrdinaryUser&) = delete;
    AsOrdinaryUser& operator=(const AsOrdinaryUser&) = delete;

private:
    bool switched_ = false;
};

class ProgramWindowTest : public TemporaryFolderTest {
protected:
    ProgramWindowTest() : TemporaryFolderTest("program-window") {}

    void SetUp() override {
        if (tk::windowIsOpen()) tk::shutDown();
        previous_ = fs::current_path();
        TemporaryFolderTest::SetUp();
        if (HasFatalFailure()) return;
        // Readable for the ordinary user of AsOrdinaryUser too.
        chmod(folder_.c_str(), 0777);
        fs::current_path(folder_);
        useSilentSoundOutput(true);
        resultDisplayMilliseconds = 0;
        tk::setMessageBoxHook([this](const Text& title, const Text& text) {
            messages.push_back({title, text});
            if (onMessage) onMessage();
        });
        tk::setPathRequesterHook([this](const Text&, const Text& start) {
            ++pathRequests;
            requestedStart = start;
            return pathAnswer;
        });
        tk::setFileRequesterHook([this](const Text&, const Text& start, const Text& filter) {
            requestedStart = start;
            requestedFilter = filter;
            return fileAnswer;
        });
    }

    void TearDown() override {
        if (tk::windowIsOpen()) closeProgramWindow();
        tk::setMessageBoxHook(nullptr);
        tk::setPathRequesterHook(nullptr);
        tk::setFileRequesterHook(nullptr);
        resultDisplayMilliseconds = 3000;
        useSilentSoundOutput(false);
        fs::current_path(previous_);
        TemporaryFolderTest::TearDown();
    }

    // The shared state for the working folder, on a desktop of the given size.
    static void initialise(int width = 1280, int height = 1024) {
        initialiseAppState(workingDirectory(), width, height);
    }

    // The shared state for the working folder, on the desktop the toolkit reports.
    static void initialiseForDesktop() {
        int width = 1280, height = 1024;
        tk::desktopSize(width, height);
        initialise(width, height);
    }

    // Opens the window and hands the events it queued to the event loop's rules.
    static void openWindow() {
        ASSERT_TRUE(openProgramWindow());
        processEvents();
    }
    static void openWindow(int tab) {
        app.activePanel = tab;
        openWindow();
    }

    // Opens the window and lets it show; the events it queued stay queued.
    static void openWindowOnly() {
        ASSERT_TRUE(openProgramWindow());
        tk::testing::settle();
    }

    // Start-up as the program does it, on a 1280 × 1024 desktop.
    static void start() {
        initialise();
        openWindowOnly();
    }

    // The end of the program: settings saved, window released.
    static void stop() { closeProgramWindow(); }

    static void restart() {
        stop();
        start();
    }

    // Chooses a language in the selector by its name, as a person does.
    static void chooseLanguage(const Text& name) {
        const Gadget selector = app.g.languageCombo;
        for (int item = 0; item < tk::countGadgetItems(selector); ++item) {
            if (tk::getGadgetItemText(selector, item) == name) {
                choose(selector, item);
                return;
            }
        }
        FAIL() << "language not offered";
    }

    static Gadget option(const char* key) { return app.options[key].gadget; }
    static Gadget extension(const char* key) { return app.extensions[key].gadget; }
    static void setOption(const char* key, bool on) { tk::setGadgetState(option(key), on ? 1 : 0); }
    static void setToggle(const char* key, bool on) { tk::setGadgetState(extension(key), on ? 1 : 0); }

    static int errorClips() { return voiceStarts(app.errorSound); }
    static int successClips() { return voiceStarts(app.successSound); }

    // at(name), of TemporaryFolderTest: a path below the working folder, as file-system bytes.
    // A folder below the working folder as the program shows folders: final "/".
    Text folderText(const std::string& relative = std::string()) const {
        Text text = textFromUtf8(at(relative));
        if (text.empty() || text.back() != u'/') text += u'/';
        return text;
    }
    void makeFolder(const std::string& relative) const { fs::create_directories(at(relative)); }

    // The working directory as the program records folders: UTF-8, final "/".
    static std::string folder() { return textToUtf8(workingDirectory()); }

    // The rows of the file list, as their path column reads.
    static std::vector<Text> rows() {
        std::vector<Text> result;
        for (int i = 0; i < tk::countGadgetItems(app.g.fileList); ++i)
            result.push_back(tk::getGadgetItemText(app.g.fileList, i, 1));
        return result;
    }
    static std::vector<int> ticks() {
        std::vector<int> result;
        for (int i = 0; i < tk::countGadgetItems(app.g.fileList); ++i)
            result.push_back(tk::getGadgetItemState(app.g.fileList, i));
        return result;
    }

    std::vector<ShownMessage> messages;
    std::function<void()> onMessage;
    Text pathAnswer;
    int pathRequests = 0;
    std::vector<Text> fileAnswer;
    Text requestedStart;
    Text requestedFilter;

private:
    fs::path previous_;
};

}  // namespace testing_support
