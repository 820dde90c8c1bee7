// The main window's title: name, version and date in the current language.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/startup.h"
#include "core/window_title.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;

// The language files shipped with the program, next to the tests' folder.
const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

void processEvents() {
    tk::testing::settle();
    int kind;
    while ((kind = tk::pollEvent()) != 0) handleEvent(kind);
}

std::tm date(int day, int month, int year) {
    std::tm when{};
    when.tm_mday = day;
    when.tm_mon = month - 1;
    when.tm_year = year - 1900;
    return when;
}

class Title : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "window-title-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
        int width = 1280, height = 1024;
        tk::desktopSize(width, height);
        initialiseAppState(workingDirectory(), width, height);
    }

    void open() {
        ASSERT_TRUE(openProgramWindow());
        opened_ = true;
        processEvents();
    }

    void TearDown() override {
        if (opened_) closeProgramWindow();
        fs::current_path(previous_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    void shipLanguage(const std::string& file) {
        fs::create_directories(folder_ / "language");
        fs::copy_file(shippedLanguages / file, folder_ / "language" / file);
    }

    void chooseLanguage(const Text& name) {
        const Gadget selector = app.g.languageCombo;
        for (int item = 0; item < tk::countGadgetItems(selector); ++item) {
            if (tk::getGadgetItemText(selector, item) == name) {
                tk::testing::chooseComboItem(selector, item);
                processEvents();
                return;
            }
        }
        FAIL() << "language not offered";
    }

    fs::path previous_;
    fs::path folder_;
    bool opened_ = false;
};

TEST_F(Title, EnglishTitleForAFixedDate) {
    open();
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7  December  2026");
    EXPECT_EQ(composeWindowTitle(date(28, 2, 2025)), u"   V 1.4   28  February  2025");
    EXPECT_EQ(composeWindowTitle(date(31, 1, 2030)), u"   V 1.4   31  January  2030");
}

TEST_F(Title, DaysOneToNineHaveNoLeadingZero) {
    open();
    for (int day = 1; day <= 9; ++day) {
        EXPECT_EQ(composeWindowTitle(date(day, 5, 2026)), u"   V 1.4   " + numberToText(day) + u"  May  2026");
    }
    EXPECT_EQ(composeWindowTitle(date(10, 5, 2026)), u"   V 1.4   10  May  2026");
}

TEST_F(Title, YearAlwaysHasFourDigits) {
    open();
    EXPECT_EQ(composeWindowTitle(date(3, 4, 987)), u"   V 1.4   3  April  0987");
}

TEST_F(Title, BeforeAnyLanguageIsAppliedNameAndMonthAreMissing) {
    // The shared state is initialised but no language has been applied yet.
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7    2026");
}

TEST_F(Title, WindowShowsTodaysTitleInTheCurrentLanguage) {
    shipLanguage("German.lng");
    open();
    EXPECT_EQ(tk::windowTitle(), composeWindowTitle());
    EXPECT_EQ(tk::windowTitle().rfind(u"   V 1.4   ", 0), 0u);

    chooseLanguage(u"German");
    EXPECT_EQ(tk::windowTitle(), composeWindowTitle());
    EXPECT_EQ(tk::windowTitle().rfind(u"Suchen und Ersetzen in Dateien   V 1.4   ", 0), 0u);
}

TEST_F(Title, GermanTitleForAFixedDate) {
    shipLanguage("German.lng");
    open();
    chooseLanguage(u"German");
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"Suchen und Ersetzen in Dateien   V 1.4   7  Dezember  2026");
    EXPECT_EQ(composeWindowTitle(date(1, 3, 2027)), u"Suchen und Ersetzen in Dateien   V 1.4   1  März  2027");

    chooseLanguage(u"Embedded");
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7  December  2026");
}

}  // namespace
