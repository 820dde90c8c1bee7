// Test entry for tests that need the real window: starts the toolkit, on Qt's offscreen
// platform unless a display is given.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/text.h"
#include "ui/toolkit/toolkit.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string runtime = "/tmp/window-tests-" + std::to_string(getuid());
        mkdir(runtime.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    testing::InitGoogleTest(&argc, argv);
    useUtf8Locale();
    tk::startToolkit(argc, argv);
    return RUN_ALL_TESTS();
}
