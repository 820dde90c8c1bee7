// The tool tips of the real window: which gadgets carry which text, switched on and off by
// the "Helps" check box, and their texts after a language file is applied.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

struct ExpectedTip {
    Gadget gadget;
    Text text;
};

class ToolTips : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialiseForDesktop();
        app.activePanel = settingTab;
    }

    // A click on the "Helps" box, where a person clicks it.
    void clickHelps() {
        const Gadget helps = app.options["tip"].gadget;
        tk::testing::clickGadgetAt(helps, 7, tk::gadgetHeight(helps) / 2);
        processEvents();
    }

    static void writeLanguageFile(const std::string& name, const std::string& lines) {
        writeFile("language/" + name + ".lng", "\xEF\xBB\xBF[TEXT]\r\n" + lines);
    }

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
            {option("lin"), u" To write each line of a changed file with its own line end (CR LF, LF or CR) instead of CR LF "},
            {g.codePageCombo, u" The character set in which files without a byte-order mark are read and written "},
            {g.codePageLabel, u" The character set in which files without a byte-order mark are read and written "},
            {g.undoButton, u" To put back the files changed by the last run from the backup folder "},
            {g.previewButton, u" To show what a run would change in every file, without writing anything "},
        };
    }

    int gadgetsWithTips() {
        int count = 0;
        for (const ExpectedTip& tip : englishTips()) count += tk::gadgetToolTipText(tip.gadget).empty() ? 0 : 1;
        return count;
    }
};

TEST_F(ToolTips, AllTwentySixGadgetsShowTheirEnglishTipWhileHelpsIsChecked) {
    openWindow();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 1);
    EXPECT_EQ(app.toolTips.size(), 26u);
    const std::vector<ExpectedTip> tips = englishTips();
    ASSERT_EQ(tips.size(), 26u);
    for (size_t i = 0; i < tips.size(); ++i) {
        EXPECT_EQ(tk::gadgetToolTipText(tips[i].gadget), tips[i].text) << "tip " << i + 1;
    }
}

TEST_F(ToolTips, HtmlToggleTipReadsTheExtensionTextWithHtml) {
    openWindow();
    EXPECT_EQ(tk::gadgetToolTipText(extension("htl")), u" To search in files with expansion  HTML ");
}

TEST_F(ToolTips, BothRowsShareTheTextsOfTheirOptionsAndCaptions) {
    openWindow();
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
    openWindow();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 0);
    EXPECT_EQ(gadgetsWithTips(), 0);

    clickHelps();
    ASSERT_EQ(tk::getGadgetState(option("tip")), 1);
    EXPECT_EQ(gadgetsWithTips(), 26);
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
    openWindow();
    chooseLanguage(u"Partial");

    EXPECT_EQ(tk::gadgetToolTipText(option("tip")), u" Hilfen ein und aus ");
    EXPECT_EQ(tk::gadgetToolTipText(option("reg1")), u" Muster verwenden ");
    EXPECT_EQ(tk::gadgetToolTipText(option("reg2")), u" Muster verwenden ");
    EXPECT_EQ(tk::gadgetToolTipText(extension("htl")), u" Dateien mit Endung  HTML ");
    // Keys the file lacks, or leaves empty, keep their built-in English texts.
    EXPECT_EQ(tk::gadgetToolTipText(option("rez")), u" To choose a folder for backup copies ");
    EXPECT_EQ(tk::gadgetToolTipText(option("spa1")), u" To delete an empty line ");
    EXPECT_EQ(tk::gadgetToolTipText(app.g.searchLabel1), u" On a clique to copy in the same editor of range ");
    EXPECT_EQ(gadgetsWithTips(), 26);

    chooseLanguage(u"Embedded");
    for (const ExpectedTip& tip : englishTips()) EXPECT_EQ(tk::gadgetToolTipText(tip.gadget), tip.text);
}

TEST_F(ToolTips, LanguageChangeWhileHelpsIsUncheckedAttachesNothing) {
    writeLanguageFile("Partial", "tit1 = Hilfen ein und aus\r\n");
    app.options["tip"].state = 0;
    openWindow();
    chooseLanguage(u"Partial");
    EXPECT_EQ(gadgetsWithTips(), 0);

    clickHelps();
    EXPECT_EQ(tk::gadgetToolTipText(option("tip")), u" Hilfen ein und aus ");
    EXPECT_EQ(gadgetsWithTips(), 26);
}

}  // namespace
