#pragma once
// A fixture for tests that run the whole program window the way start-up does, in a fresh
// temporary working directory: tuning.ini and the language folder live there. Sounds play
// into the back end's silent output, so that clips can be counted on any machine.
//
// Included by the settings, language and history window tests only; everything here has
// internal linkage.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/startup.h"
#include "ui/sound/sound_backend.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;

class ProgramWindowTest : public testing::Test {
protected:
    void SetUp() override {
        char buffer[PATH_MAX];
        ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
        previousDirectory_ = buffer;
        std::string pattern = (fs::temp_directory_path() / "program-window-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ASSERT_EQ(chdir(folder_.c_str()), 0);
        useSilentSoundOutput(true);
    }

    void TearDown() override {
        if (running_) stop();
        useSilentSoundOutput(false);
        EXPECT_EQ(chdir(previousDirectory_.c_str()), 0);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // Start-up as the program does it, on a 1280 × 1024 desktop.
    void start() {
        initialiseAppState(workingDirectory(), 1280, 1024);
        ASSERT_TRUE(openProgramWindow());
        running_ = true;
        tk::testing::settle();
    }

    // The end of the program: settings saved, window released.
    void stop() {
        closeProgramWindow();
        running_ = false;
    }

    void restart() {
        stop();
        start();
    }

    // Hands every queued event to the event loop's rules, as the running loop would.
    static void deliverEvents() {
        tk::testing::settle();
        while (int kind = tk::pollEvent()) handleEvent(kind);
    }

    static void click(Gadget gadget) {
        tk::testing::clickGadget(gadget);
        deliverEvents();
    }

    static void choose(Gadget combo, int item) {
        tk::testing::chooseComboItem(combo, item);
        deliverEvents();
    }

    static void writeFile(const std::string& path, const std::string& bytes) {
        const fs::path parent = fs::path(path).parent_path();
        if (!parent.empty()) fs::create_directories(parent);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static std::string settings() { return readFile("tuning.ini"); }

    // A settings file in the program's own form: mark, empty line, CR LF line ends.
    static std::string iniBytes(std::initializer_list<const char*> lines) {
        std::string bytes = "\xEF\xBB\xBF\r\n";
        for (const char* line : lines) bytes += std::string(line) + "\r\n";
        return bytes;
    }

    static bool contains(const std::string& haystack, const std::string& needle) {
        return haystack.find(needle) != std::string::npos;
    }

    // The working directory as the program records folders: UTF-8, final "/".
    std::string folder() const { return textToUtf8(workingDirectory()); }

    static int errorClips() { return voiceStarts(app.errorSound); }
    static int successClips() { return voiceStarts(app.successSound); }

    std::string previousDirectory_;
    std::string folder_;
    bool running_ = false;
};

}  // namespace
