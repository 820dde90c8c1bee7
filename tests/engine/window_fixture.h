#pragma once
// The real program window on a temporary working directory, for the window tests of the
// search, the file set, the run, the backups and the messages. Each test gets a fresh
// folder (the working directory, with tuning.ini and reserve/ in it) and a fresh window;
// message boxes and requesters are answered by hooks; the result box does not wait.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/startup.h"
#include "engine/messages.h"
#include "ui/sound/sound_backend.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;

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

class ProgramWindowTest : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "run-window-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        // Readable for the ordinary user of AsOrdinaryUser too.
        chmod(folder_.c_str(), 0777);
        fs::current_path(folder_);
        useSilentSoundOutput(true);
        initialiseAppState(workingDirectory(), 1280, 1024);
        app.activePanel = 0;
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

    void openWindow() {
        ASSERT_TRUE(openProgramWindow());
        opened_ = true;
        processEvents();
    }

    void TearDown() override {
        if (opened_) closeProgramWindow();
        tk::setMessageBoxHook(nullptr);
        tk::setPathRequesterHook(nullptr);
        tk::setFileRequesterHook(nullptr);
        resultDisplayMilliseconds = 3000;
        useSilentSoundOutput(false);
        fs::current_path(previous_);
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::all, ignored);
        for (auto& entry : fs::recursive_directory_iterator(folder_, ignored)) {
            if (entry.is_directory(ignored) && !entry.is_symlink(ignored))
                fs::permissions(entry.path(), fs::perms::all, ignored);
        }
        fs::remove_all(folder_, ignored);
    }

    // Takes the events the window has produced and dispatches them as the program's loop.
    static void processEvents() {
        tk::testing::settle();
        int kind;
        while ((kind = tk::pollEvent()) != 0) handleEvent(kind);
    }

    static void click(Gadget gadget) {
        tk::testing::clickGadget(gadget);
        processEvents();
    }

    static void setOption(const char* key, bool on) { tk::setGadgetState(app.options[key].gadget, on ? 1 : 0); }
    static void setToggle(const char* key, bool on) { tk::setGadgetState(app.extensions[key].gadget, on ? 1 : 0); }

    // A path below the test folder, as file-system bytes.
    std::string at(const std::string& relative) const { return (folder_ / relative).string(); }
    Text folderText(const std::string& relative = std::string()) const {
        Text text = textFromUtf8(at(relative));
        if (text.empty() || text.back() != u'/') text += u'/';
        return text;
    }

    void write(const std::string& relative, const std::string& bytes) const {
        fs::create_directories(fs::path(at(relative)).parent_path());
        std::ofstream(at(relative), std::ios::binary) << bytes;
    }
    std::string read(const std::string& relative) const {
        std::ifstream in(at(relative), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void makeFolder(const std::string& relative) const { fs::create_directories(at(relative)); }

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

    fs::path folder_;
    std::vector<ShownMessage> messages;
    std::function<void()> onMessage;
    Text pathAnswer;
    int pathRequests = 0;
    std::vector<Text> fileAnswer;
    Text requestedStart;
    Text requestedFilter;

private:
    fs::path previous_;
    bool opened_ = false;
};

}  // namespace
