// Start-up: the defaults of the shared state, and window 0 as the first start opens it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

// Runs each test in a fresh temporary working directory.
using StartupTest = ProgramWindowTest;

struct OptionDefault {
    const char* key;
    const char* iniKey;
    int state;
};

const OptionDefault optionDefaults[] = {
    {"tip", "tips", 1},      {"esc", "esc", 1},    {"ton", "sound", 1},
    {"reg1", "reg_exp1", 0}, {"cas1", "case1", 1}, {"spa1", "space1", 0},
    {"reg2", "reg_exp2", 0}, {"cas2", "case2", 1}, {"spa2", "space2", 0},
    {"hek", "check", 1},     {"rez", "reserve", 1}, {"lin", "lineends", 0},
};

TEST_F(StartupTest, OptionsHoldTheTwelveOptionsInOrderWithTheirKeysAndDefaults) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    ASSERT_EQ(app.options.size(), std::size(optionDefaults));
    size_t i = 0;
    for (const auto& [key, option] : app.options) {
        const OptionDefault& expected = optionDefaults[i++];
        SCOPED_TRACE(expected.key);
        EXPECT_EQ(key, expected.key);
        EXPECT_EQ(option.iniKey, expected.iniKey);
        EXPECT_EQ(option.state, expected.state);
        EXPECT_EQ(option.gadget, 0);
    }
}

TEST_F(StartupTest, ExtensionsHoldTheFourTogglesWithOnlyHtmlPressed) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    const struct { const char* key; const char* iniKey; int state; } expected[] = {
        {"txt", "butTXT", 0}, {"hta", "butHTA", 0}, {"htm", "butHTM", 0}, {"htl", "butHTML", 1}};
    ASSERT_EQ(app.extensions.size(), 4u);
    size_t i = 0;
    std::vector<std::string> pictures;
    for (const auto& [key, extension] : app.extensions) {
        SCOPED_TRACE(expected[i].key);
        EXPECT_EQ(key, expected[i].key);
        EXPECT_EQ(extension.iniKey, expected[i].iniKey);
        EXPECT_EQ(extension.state, expected[i].state);
        EXPECT_EQ(extension.gadget, 0);
        // Each toggle's pressed picture is an embedded picture of its own.
        EXPECT_FALSE(tk::resourceBytes(extension.picture).empty()) << extension.picture;
        for (const std::string& other : pictures) EXPECT_NE(extension.picture, other);
        pictures.push_back(extension.picture);
        ++i;
    }
}

TEST_F(StartupTest, WindowRectIsCentredOnTheDesktopWithTruncatingHalves) {
    const struct { int desktopWidth, desktopHeight, x, y; } cases[] = {
        {1280, 1024, 290, 212},
        {1281, 1025, 290, 212},  // 1281 / 2 = 640, 1025 / 2 = 512
        {1366, 768, 333, 84},
        {1023, 767, 161, 83},
        {800, 600, 50, 0},
        {600, 500, -50, -50},  // a desktop smaller than the window
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.desktopWidth) + " x " + std::to_string(c.desktopHeight));
        initialiseAppState(u"/data/work/", c.desktopWidth, c.desktopHeight);
        EXPECT_EQ(app.windowRect.x, c.x);
        EXPECT_EQ(app.windowRect.y, c.y);
        EXPECT_EQ(app.windowRect.width, 700);
        EXPECT_EQ(app.windowRect.height, 600);
        EXPECT_EQ(app.windowRect.maximised, 0);
    }
}

TEST_F(StartupTest, WithoutADesktopTheWindowRectStaysAtTheOrigin) {
    initialiseAppState(u"/data/work/", 0, 0);
    EXPECT_EQ(app.windowRect.x, 0);
    EXPECT_EQ(app.windowRect.y, 0);
    EXPECT_EQ(app.windowRect.width, 700);
    EXPECT_EQ(app.windowRect.height, 600);
}

TEST_F(StartupTest, PathsFollowTheChosenWorkingDirectory) {
    for (const char16_t* given : {u"/home/someone/projects", u"/home/someone/projects/"}) {
        SCOPED_TRACE(textToUtf8(given));
        initialiseAppState(given, 1280, 1024);
        EXPECT_EQ(app.paths.filesLoaded, u"/home/someone/projects/");
        EXPECT_EQ(app.paths.files, u"/home/someone/projects/");
        EXPECT_EQ(app.paths.foldersLoaded, u"/home/someone/projects/");
        EXPECT_EQ(app.paths.folders, u"/home/someone/projects/");
        EXPECT_EQ(app.paths.root, u"");
        EXPECT_EQ(app.paths.backup, u"/home/someone/projects/reserve/");
    }
}

TEST_F(StartupTest, WorkingDirectoryIsTheProcessDirectoryWithAFinalSlash) {
    EXPECT_EQ(workingDirectory(), folderText());
    initialiseAppState(workingDirectory(), 1280, 1024);
    EXPECT_EQ(app.paths.files, folderText());
    EXPECT_EQ(app.paths.backup, folderText() + u"reserve/");
}

TEST_F(StartupTest, TheRestOfTheStateStartsAtItsDefaults) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    EXPECT_EQ(app.activePanel, 2);
    EXPECT_EQ(app.minWindowWidth, 700);
    EXPECT_EQ(app.minWindowHeight, 600);
    EXPECT_EQ(app.margin, 7);
    EXPECT_EQ(app.doubleMargin, 14);
    EXPECT_EQ(app.languageName, u"Embedded");
    EXPECT_EQ(app.lineBreak, u"\r\n");
    EXPECT_EQ(app.paragraphBreak, u"\r\n\r\n");
    EXPECT_EQ(app.newLine, u"\n");
    EXPECT_EQ(app.quoteMark, u"\"");
    EXPECT_TRUE(app.nameHistory.empty());
    EXPECT_TRUE(app.whatHistory.empty());
    EXPECT_TRUE(app.thanHistory.empty());
    EXPECT_TRUE(app.filePaths.empty());
    EXPECT_TRUE(app.toolTips.empty());
    EXPECT_TRUE(app.texts.empty());
    EXPECT_EQ(app.colours.size(), 32u);
    EXPECT_EQ(app.defaultTexts.get("but7"), u"To find and replace");
}

TEST_F(StartupTest, InitialisingAgainForgetsEarlierChanges) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    app.options["esc"].state = 0;
    app.extensions["txt"].state = 1;
    app.activePanel = 0;
    app.filePaths.push_back(u"a.txt");
    app.windowRect.maximised = 1;
    initialiseAppState(u"/data/other/", 1280, 1024);
    EXPECT_EQ(app.options["esc"].state, 1);
    EXPECT_EQ(app.extensions["txt"].state, 0);
    EXPECT_EQ(app.activePanel, 2);
    EXPECT_TRUE(app.filePaths.empty());
    EXPECT_EQ(app.windowRect.maximised, 0);
    EXPECT_EQ(app.options.size(), 12u);
    EXPECT_EQ(app.paths.files, u"/data/other/");
}

TEST_F(StartupTest, TheSixNamedGadgetsAreReachedByName) {
    initialiseAppState(u"/data/work/", 1280, 1024);
    Gadget* variables[] = {&app.g.txt1, &app.g.txt2, &app.g.txt3, &app.g.edi4, &app.g.edi5, &app.g.edi6};
    const char* names[] = {"txt1", "txt2", "txt3", "edi4", "edi5", "edi6"};
    for (int i = 0; i < 6; ++i) *variables[i] = 100 + i;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(tk::gadgetByName(names[i]), 100 + i) << names[i];
    EXPECT_EQ(tk::gadgetByName("txt4"), 0);
    EXPECT_EQ(tk::gadgetByName("edi3"), 0);
}

// ---- The first start, with window 0 ----------------------------------------------------

TEST_F(StartupTest, FirstStartOpensA700By600WindowOnTheSettingTab) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    tk::testing::settle();
    EXPECT_TRUE(tk::windowIsOpen());
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 600);
    EXPECT_EQ(tk::windowState(), tk::stateNormal);
    EXPECT_EQ(app.clientWidth, 700);
    EXPECT_EQ(app.clientHeight, 600);
    EXPECT_EQ(tk::getGadgetState(app.g.mainPanel), 2);
    EXPECT_FALSE(tk::windowTitle().empty());
}

TEST_F(StartupTest, FirstStartShowsTheDefaultOptionsAndOnlyTheHtmlTogglePressed) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    for (const OptionDefault& option : optionDefaults) {
        Gadget box = app.options[option.key].gadget;
        ASSERT_TRUE(tk::isGadget(box)) << option.key;
        EXPECT_EQ(tk::getGadgetState(box), option.state) << option.key;
    }
    for (const char* key : {"txt", "hta", "htm"}) {
        EXPECT_EQ(tk::getGadgetState(app.extensions[key].gadget), 0) << key;
    }
    EXPECT_EQ(tk::getGadgetState(app.extensions["htl"].gadget), 1);
}

TEST_F(StartupTest, FirstStartShowsTheBackupFolderBelowTheWorkingDirectory) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    tk::testing::settle();
    EXPECT_EQ(tk::getGadgetText(app.g.backupPathText), folderText() + u"reserve/");
    EXPECT_EQ(tk::getGadgetText(app.g.backupTree), folderText() + u"reserve/");
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.backupTree));
}

TEST_F(StartupTest, TheWindowCannotBeMadeSmallerThan700By600) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    tk::testing::dragWindowSize(640, 480);
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 600);
    tk::testing::dragWindowSize(820, 500);
    EXPECT_EQ(tk::windowWidth(), 820);
    EXPECT_EQ(tk::windowHeight(), 600);
}

TEST_F(StartupTest, AMaximisedStartLaysOutForTheMaximisedInnerSize) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    app.windowRect.maximised = tk::stateMaximised;
    ASSERT_TRUE(openProgramWindow());
    tk::testing::settle();
    EXPECT_EQ(tk::windowState(), tk::stateMaximised);
    EXPECT_EQ(app.clientWidth, tk::windowWidth());
    EXPECT_EQ(app.clientHeight, tk::windowHeight());
    EXPECT_EQ(tk::gadgetWidth(app.g.mainPanel), tk::windowWidth() - 14);
    EXPECT_EQ(tk::gadgetHeight(app.g.mainPanel), tk::windowHeight() - 14);
}

TEST_F(StartupTest, AWindowCanBeOpenedAgainAfterClosing) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    closeProgramWindow();
    EXPECT_FALSE(tk::windowIsOpen());
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_TRUE(openProgramWindow());
    EXPECT_TRUE(tk::isGadget(app.g.mainPanel));
    EXPECT_EQ(tk::windowWidth(), 700);
}

}  // namespace
