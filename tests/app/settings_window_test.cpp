// tuning.ini: the default file of a first start, reading with its ranges and
// normalisations, and writing back at exit.

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "app/settings.h"
#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

class SettingsTest : public ProgramWindowTest {
protected:
    // Reads tuning.ini into fresh defaults without opening a window.
    static void loadOnly() {
        initialiseAppState(workingDirectory(), 1280, 1024);
        loadSettings();
    }
};

// ---- First start ---------------------------------------------------------------------

TEST_F(SettingsTest, FirstStartWritesTheDefaultFile) {
    loadOnly();
    const std::string dir = folder();
    const std::string expected = iniBytes({
        "[WINDOW]", "left = 290", "top = 212", "width = 700", "height = 600", "full = 0",
        "[COMBOBOX]", "language = Embedded",
        "[CHECKBOX]", "tips = 1", "esc = 1", "sound = 1", "reg_exp1 = 0", "case1 = 1",
        "space1 = 0", "reg_exp2 = 0", "case2 = 1", "space2 = 0", "check = 1", "reserve = 1",
        "lineends = 0", "[PANELS]", "panel = 2",
        "[EXPANSION]", "butTXT = 0", "butHTA = 0", "butHTM = 0", "butHTML = 1",
        "[PATH]"});
    EXPECT_EQ(settings(), expected + "files = " + dir + "\r\nfolders = " + dir +
                              "\r\nsystem = " + dir + "reserve/\r\n");
}

// ---- Reading -------------------------------------------------------------------------

TEST_F(SettingsTest, WindowSizeIsRaisedToTheMinimumAndPositionTakenAsItIs) {
    writeFile("tuning.ini", iniBytes({"[window]", "left = -5000", "top = 40", "width = 300",
                                      "height = 100", "full = 0"}));
    loadOnly();
    EXPECT_EQ(app.windowRect.x, -5000);
    EXPECT_EQ(app.windowRect.y, 40);
    EXPECT_EQ(app.windowRect.width, 700);
    EXPECT_EQ(app.windowRect.height, 600);
}

TEST_F(SettingsTest, FlagsOutsideZeroAndOneAreIgnoredAndWordsReadAsZero) {
    writeFile("tuning.ini", iniBytes({"[CHECKBOX]", "tips = 2", "sound = no", "case1 = -1",
                                      "reg_exp2 = 1", "[EXPANSION]", "butTXT = 1",
                                      "butHTML = 7", "butHTA = x", "[PANELS]", "panel = 3"}));
    loadOnly();
    EXPECT_EQ(app.options["tip"].state, 1);
    EXPECT_EQ(app.options["ton"].state, 0);
    EXPECT_EQ(app.options["cas1"].state, 1);
    EXPECT_EQ(app.options["reg2"].state, 1);
    EXPECT_EQ(app.extensions["txt"].state, 1);
    EXPECT_EQ(app.extensions["htl"].state, 1);
    EXPECT_EQ(app.extensions["hta"].state, 0);
    EXPECT_EQ(app.activePanel, 2);

    writeFile("tuning.ini", iniBytes({"[CHECKBOX]", "tips = no", "[PANELS]", "panel = 1"}));
    loadOnly();
    EXPECT_EQ(app.options["tip"].state, 0);
    EXPECT_EQ(app.activePanel, 1);
}

TEST_F(SettingsTest, LanguageNameIsNormalised) {
    const struct { const char* stored; Text loaded; } cases[] = {
        {"GERMAN", u"German"}, {"russian", u"Russian"}, {"eMBEDDED", u"Embedded"},
        {"", u""}, {"\xD0\xA0\xD0\xA3\xD0\xA1\xD0\xA1\xD0\x9A\xD0\x98\xD0\x99", u"Русский"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        writeFile("tuning.ini", iniBytes({"[COMBOBOX]", (std::string("language = ") + c.stored).c_str()}));
        loadOnly();
        EXPECT_EQ(app.languageName, c.loaded);
    }
}

// ---- Writing back at exit ------------------------------------------------------------

TEST_F(SettingsTest, SavedGeometryReopensUnchangedAndAnUnchangedExitLeavesTheFileAlone) {
    const std::string bytes = iniBytes({"[WINDOW]", "left = 100", "top = 80", "width = 800",
                                        "height = 650", "full = 0", "[PATH]",
                                        ("files = " + folder()).c_str(),
                                        ("folders = " + folder()).c_str(),
                                        ("system = " + folder() + "reserve/").c_str()});
    writeFile("tuning.ini", bytes);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, "tuning.ini", old, 0), 0);

    start();
    EXPECT_EQ(tk::windowX(), 100);
    EXPECT_EQ(tk::windowY(), 80);
    EXPECT_EQ(tk::windowWidth(), 800);
    EXPECT_EQ(tk::windowHeight(), 650);
    stop();

    EXPECT_EQ(settings(), bytes);
    struct stat info {};
    ASSERT_EQ(stat("tuning.ini", &info), 0);
    EXPECT_EQ(info.st_mtim.tv_sec, 1000000000);
}

TEST_F(SettingsTest, ChangedOptionsAreWrittenAtExitAndKeepTheRestOfTheFile) {
    writeFile("tuning.ini", iniBytes({"; my settings", "[COMBOBOX]", "language = Embedded",
                                      "what00 = kept"}));
    start();
    tk::setGadgetState(app.options["esc"].gadget, 0);
    tk::setGadgetState(app.options["spa2"].gadget, 1);
    tk::setGadgetState(app.extensions["hta"].gadget, 1);
    tk::setGadgetState(app.g.mainPanel, 0);
    app.paths.files = u"/picked/files/";
    stop();

    const std::string file = settings();
    EXPECT_TRUE(contains(file, "; my settings\r\n[COMBOBOX]\r\nlanguage = Embedded\r\nwhat00 = kept\r\n"));
    EXPECT_TRUE(contains(file, "esc = 0\r\n"));
    EXPECT_TRUE(contains(file, "space2 = 1\r\n"));
    EXPECT_TRUE(contains(file, "tips = 1\r\n"));
    EXPECT_TRUE(contains(file, "butHTA = 1\r\n"));
    EXPECT_TRUE(contains(file, "panel = 0\r\n"));
    EXPECT_TRUE(contains(file, "files = /picked/files/\r\n"));
    EXPECT_TRUE(contains(file, "folders = " + folder() + "\r\n"));
    EXPECT_TRUE(contains(file, "system = " + folder() + "reserve/\r\n"));

    start();
    EXPECT_EQ(tk::getGadgetState(app.options["esc"].gadget), 0);
    EXPECT_EQ(tk::getGadgetState(app.g.mainPanel), 0);
    EXPECT_EQ(app.paths.files, u"/picked/files/");
}

TEST_F(SettingsTest, ExitWhileMaximisedWritesOnlyTheState) {
    writeFile("tuning.ini", iniBytes({"[WINDOW]", "left = 100", "top = 80", "width = 800",
                                      "height = 650", "full = 0"}));
    start();
    tk::setWindowState(tk::stateMaximised);
    stop();
    EXPECT_EQ(settings(), iniBytes({"[WINDOW]", "left = 100", "top = 80", "width = 800",
                                    "height = 650", "full = 16777216"}));

    // The next start opens maximised; a later exit in normal state writes the geometry.
    start();
    EXPECT_EQ(tk::windowState(), tk::stateMaximised);
    const std::string whileMaximised = settings();
    restart();
    EXPECT_EQ(settings(), whileMaximised);  // was and is maximised: nothing to write
    tk::setWindowState(tk::stateNormal);
    ASSERT_EQ(tk::windowState(), tk::stateNormal);
    const std::string geometry = "left = " + std::to_string(tk::windowX()) + "\r\ntop = " +
                                 std::to_string(tk::windowY()) + "\r\nwidth = " +
                                 std::to_string(tk::windowWidth()) + "\r\nheight = " +
                                 std::to_string(tk::windowHeight()) + "\r\nfull = 0\r\n";
    stop();
    EXPECT_EQ(settings(), iniBytes({"[WINDOW]"}) + geometry);
}

TEST_F(SettingsTest, ExitWhileMinimisedWritesItsStateAndTheNextStartIsMaximised) {
    start();
    tk::setWindowState(tk::stateMinimised);
    ASSERT_EQ(tk::windowState(), tk::stateMinimised);
    stop();
    EXPECT_TRUE(contains(settings(), "[WINDOW]\r\nleft = 290\r\ntop = 212\r\nwidth = 700\r\n"
                                     "height = 600\r\nfull = 536870912\r\n"));
    start();
    EXPECT_EQ(tk::windowState(), tk::stateMaximised);
}

TEST_F(SettingsTest, FileDeletedDuringTheRunIsWrittenAnewWithTheCurrentChoices) {
    writeFile("tuning.ini", iniBytes({"[WINDOW]", "left = 100", "top = 80", "width = 800",
                                      "height = 650", "[CHECKBOX]", "sound = 0", "[COMBOBOX]",
                                      "what00 = kept with the file"}));
    start();
    ASSERT_EQ(std::remove("tuning.ini"), 0);
    tk::setGadgetState(app.options["esc"].gadget, 0);
    stop();

    const std::string dir = folder();
    EXPECT_EQ(settings(), iniBytes({"[WINDOW]", "left = 100", "top = 80", "width = 800",
                                    "height = 650", "full = 0", "[COMBOBOX]",
                                    "language = Embedded", "what00 = kept with the file",
                                    "codepage = System", "[CHECKBOX]", "tips = 1", "esc = 0", "sound = 0",
                                    "reg_exp1 = 0", "case1 = 1", "space1 = 0", "reg_exp2 = 0",
                                    "case2 = 1", "space2 = 0", "check = 1", "reserve = 1",
                                    "lineends = 0", "[PANELS]", "panel = 2", "[EXPANSION]", "butTXT = 0",
                                    "butHTA = 0", "butHTM = 0", "butHTML = 1", "[PATH]"}) +
                              "files = " + dir + "\r\nfolders = " + dir + "\r\nsystem = " +
                              dir + "reserve/\r\n");
}

// The code page is kept by the name the selector shows; a name it does not offer reads as
// "System".
TEST_F(SettingsTest, CodePageSurvivesARestartAndAnUnknownNameReadsAsSystem) {
    start();
    const Gadget selector = app.g.codePageCombo;
    EXPECT_EQ(tk::getGadgetItemText(selector, 0), u"System (" + textFromUtf8(app.systemCharset) + u")");
    int cp1251 = -1;
    for (int item = 0; item < tk::countGadgetItems(selector); ++item)
        if (tk::getGadgetItemText(selector, item) == u"CP1251") cp1251 = item;
    ASSERT_GT(cp1251, 0);
    choose(selector, cp1251);
    restart();
    EXPECT_TRUE(contains(settings(), "codepage = CP1251\r\n"));
    EXPECT_EQ(tk::getGadgetText(app.g.codePageCombo), u"CP1251");

    stop();
    std::string edited = settings();
    edited.replace(edited.find("codepage = CP1251"), 17, "codepage = EBCDIC-X");
    writeFile("tuning.ini", edited);
    start();
    EXPECT_EQ(app.codePage, u"System");
    EXPECT_EQ(tk::getGadgetState(app.g.codePageCombo), 0);
}

TEST_F(SettingsTest, FileDeletedDuringAnUnchangedRunStaysAbsent) {
    start();
    ASSERT_EQ(std::remove("tuning.ini"), 0);
    stop();
    EXPECT_FALSE(fs::exists("tuning.ini"));
}

TEST_F(SettingsTest, LanguageThatHasNoFileAnyMoreIsSavedAsEmbedded) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "language = GERMAN"}));
    start();
    EXPECT_EQ(tk::getGadgetText(app.g.languageCombo), u"Embedded");
    stop();
    EXPECT_TRUE(contains(settings(), "[COMBOBOX]\r\nlanguage = Embedded\r\n"));
}

}  // namespace
