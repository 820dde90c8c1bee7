// The tool tips of the real window: which gadgets carry which text, switched on and off by
// the "Helps" check box, and their texts after a language file is applied.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/startup.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

namespace fs = std::filesystem;

constexpr int settingTab = 2;

void processEvents() {
    tk::testing::settle();
    int kind;
    while ((kind = tk::pollEvent()) != 0) handleEvent(kind);
}

struct ExpectedTip {
    Gadget gadget;
    Text text;
};

class ToolTips : public testing::Test {
protected:
    void SetUp() override {
        previous_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "tool-tips-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::current_path(folder_);
        int width = 1280, height = 1024;
        tk::desktopSize(width, height);
        initialiseAppState(workingDirectory(), width, height);
        app.activePanel = settingTab;
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

    // A click on the "Helps" box, where a person clicks it.
    void clickHelps() {
        const Gadget helps = app.options["tip"].gadget;
        tk::testing::clickGadgetAt(helps, 7, tk::gadgetHeight(helps) / 2);
        processEvents();
    }

    void writeLanguageFile(const std::string& name, const std::string& lines) {
        fs::create_directories(folder_ / "language");
        std::ofstream file(folder_ / "language" / (name + ".lng"), std::ios::binary);
        file << "\xEF\xBB\xBF[TEXT]\r\n" << lines;
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

    Gadget option(const char* key) { return app.options[key].gadget; }
    Gadget extension(const char* key) { return app.extensions[key].gadget; }

    // Every tip of the window in English, padded as shown.
    std::vector<ExpectedTip> englishTips() {
        const Gadgets& g = app.g;
        const Text search = u" To search in files with expansion  ";
        const Text toRange = u" On a clique to copy in the same editor of range ";
        const Text toWork = u" On a clique to copy in the same working editor ";
        return {
            {option("tip"), u" To include / to switch off standard helps "},
            {option("esc"), u" To allow / to forbid closing of the program on key ESC "},
            {option("ton"), u" To allow to cheep to the program "},
            {option("hek"), u" To reset CheckBox before new search "},
            {option("rez"), u" To choose a folder for backup copies "},
            {option("reg1"), u" To use regular expressions "},
            {option("cas1"), u" To consider or not the register of symbols "},
            {option("spa1"), u" To delete an empty line "},
            {option("reg2"), u" To use regular expressions "},
            {option("cas2"), u" To consider or not the register of symbols "},
            {option("spa2"), u" To delete an empty line "},
            {g.addFilesButton, u" Add files "},
            {g.addFoldersButton, u" Add folders "},
            {extension("txt"), search + u"TXT "},
            {extension("hta"), search + u"HTA "},
            {extension("htm"), search + u"HTM "},
            {extension("htl"), search + u"HTML "},
            {g.searchLabel1, toRange},
            {g.replaceLabel1, toRange},
            {g.searchLabel2, toWork},
            {g.replaceLabel2, toWork},
        };
    }

    int gadgetsWithTips() {
        int count = 0;
        for (const ExpectedTip& tip : englishTips()) count += tk::gadgetToolTipText(tip.gadget).empty() ? 0 : 1;
        return count;
    }

    fs::path previous_;
    fs::path folder_;
    bool opened_ = false;
};

TEST_F(ToolTips, AllTwentyOneGadgetsShowTheirEnglishTipWhileHelpsIsChecked) {
    open();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 1);
    EXPECT_EQ(app.toolTips.size(), 21u);
    const std::vector<ExpectedTip> tips = englishTips();
    ASSERT_EQ(tips.size(), 21u);
    for (size_t i = 0; i < tips.size(); ++i) {
        EXPECT_EQ(tk::gadgetToolTipText(tips[i].gadget), tips[i].text) << "tip " << i + 1;
    }
}

TEST_F(ToolTips, HtmlToggleTipReadsTheExtensionTextWithHtml) {
    open();
    EXPECT_EQ(tk::gadgetToolTipText(extension("htl")), u" To search in files with expansion  HTML ");
}

TEST_F(ToolTips, BothRowsShareTheTextsOfTheirOptionsAndCaptions) {
    open();
    const Gadgets& g = app.g;
    const struct { Gadget first, second; } twins[] = {
        {option("reg1"), option("reg2")},
        {option("cas1"), option("cas2")},
        {option("spa1"), option("spa2")},
        {g.searchLabel1, g.replaceLabel1},
        {g.searchLabel2, g.replaceLabel2},
    };
    for (const auto& twin : twins) {
        EXPECT_FALSE(tk::gadgetToolTipText(twin.first).empty());
        EXPECT_EQ(tk::gadgetToolTipText(twin.first), tk::gadgetToolTipText(twin.second));
    }
    // The Work captions copy to the Polygon tab and the Polygon captions back: they differ.
    EXPECT_NE(tk::gadgetToolTipText(g.searchLabel1), tk::gadgetToolTipText(g.searchLabel2));
}

TEST_F(ToolTips, HelpsUncheckedAtStartUpShowsNoTipUntilItIsChecked) {
    app.options["tip"].state = 0;
    open();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 0);
    EXPECT_EQ(gadgetsWithTips(), 0);

    clickHelps();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 1);
    EXPECT_EQ(gadgetsWithTips(), 21);
    for (const ExpectedTip& tip : englishTips()) EXPECT_EQ(tk::gadgetToolTipText(tip.gadget), tip.text);

    clickHelps();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 0);
    EXPECT_EQ(gadgetsWithTips(), 0);
}

TEST_F(ToolTips, LanguageChangeReplacesTheTipsAndMissingKeysKeepTheEnglishText) {
    writeLanguageFile("Partial", "tit1 = Hilfen ein und aus\r\n"
                                 "tit6 = Muster verwenden\r\n"
                                 "tit14 = Dateien mit Endung\r\n"
                                 "tit8 =\r\n");
    open();
    chooseLanguage(u"Partial");

    EXPECT_EQ(tk::gadgetToolTipText(option("tip")), u" Hilfen ein und aus ");
    EXPECT_EQ(tk::gadgetToolTipText(option("reg1")), u" Muster verwenden ");
    EXPECT_EQ(tk::gadgetToolTipText(option("reg2")), u" Muster verwenden ");
    EXPECT_EQ(tk::gadgetToolTipText(extension("htl")), u" Dateien mit Endung  HTML ");
    // Keys the file lacks, or leaves empty, keep their built-in English texts.
    EXPECT_EQ(tk::gadgetToolTipText(option("rez")), u" To choose a folder for backup copies ");
    EXPECT_EQ(tk::gadgetToolTipText(option("spa1")), u" To delete an empty line ");
    EXPECT_EQ(tk::gadgetToolTipText(app.g.searchLabel1), u" On a clique to copy in the same editor of range ");
    EXPECT_EQ(gadgetsWithTips(), 21);

    chooseLanguage(u"Embedded");
    for (const ExpectedTip& tip : englishTips()) EXPECT_EQ(tk::gadgetToolTipText(tip.gadget), tip.text);
}

TEST_F(ToolTips, LanguageChangeWhileHelpsIsUncheckedAttachesNothing) {
    writeLanguageFile("Partial", "tit1 = Hilfen ein und aus\r\n");
    app.options["tip"].state = 0;
    open();
    chooseLanguage(u"Partial");
    EXPECT_EQ(gadgetsWithTips(), 0);

    clickHelps();
    EXPECT_EQ(tk::gadgetToolTipText(option("tip")), u" Hilfen ein und aus ");
    EXPECT_EQ(gadgetsWithTips(), 21);
}

}  // namespace
