// The main window's title: name, version and date in the current language.

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/window_title.h"
#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

// The language files shipped with the program, next to the tests' folder.
const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

std::tm date(int day, int month, int year) {
    std::tm when{};
    when.tm_mday = day;
    when.tm_mon = month - 1;
    when.tm_year = year - 1900;
    return when;
}

class Title : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialiseForDesktop();
    }

    void shipLanguage(const std::string& file) {
        fs::create_directories(folder_ / "language");
        fs::copy_file(shippedLanguages / file, folder_ / "language" / file);
    }
};

TEST_F(Title, EnglishTitleForAFixedDate) {
    openWindow();
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7  December  2026");
    EXPECT_EQ(composeWindowTitle(date(28, 2, 2025)), u"   V 1.4   28  February  2025");
    EXPECT_EQ(composeWindowTitle(date(31, 1, 2030)), u"   V 1.4   31  January  2030");
}

TEST_F(Title, DaysOneToNineHaveNoLeadingZero) {
    openWindow();
    for (int day = 1; day <= 9; ++day) {
        EXPECT_EQ(composeWindowTitle(date(day, 5, 2026)), u"   V 1.4   " + numberToText(day) + u"  May  2026");
    }
    EXPECT_EQ(composeWindowTitle(date(10, 5, 2026)), u"   V 1.4   10  May  2026");
}

TEST_F(Title, YearAlwaysHasFourDigits) {
    openWindow();
    EXPECT_EQ(composeWindowTitle(date(3, 4, 987)), u"   V 1.4   3  April  0987");
}

TEST_F(Title, BeforeAnyLanguageIsAppliedNameAndMonthAreMissing) {
    // The shared state is initialised but no language has been applied yet.
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7    2026");
}

TEST_F(Title, WindowShowsTodaysTitleInTheCurrentLanguage) {
    shipLanguage("German.lng");
    openWindow();
    EXPECT_EQ(tk::windowTitle(), composeWindowTitle());
    EXPECT_EQ(tk::windowTitle().rfind(u"   V 1.4   ", 0), 0u);

    chooseLanguage(u"German");
    EXPECT_EQ(tk::windowTitle(), composeWindowTitle());
    EXPECT_EQ(tk::windowTitle().rfind(u"Suchen und Ersetzen in Dateien   V 1.4   ", 0), 0u);
}

TEST_F(Title, GermanTitleForAFixedDate) {
    shipLanguage("German.lng");
    openWindow();
    chooseLanguage(u"German");
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"Suchen und Ersetzen in Dateien   V 1.4   7  Dezember  2026");
    EXPECT_EQ(composeWindowTitle(date(1, 3, 2027)), u"Suchen und Ersetzen in Dateien   V 1.4   1  März  2027");

    chooseLanguage(u"Embedded");
    EXPECT_EQ(composeWindowTitle(date(7, 12, 2026)), u"   V 1.4   7  December  2026");
}

}  // namespace
