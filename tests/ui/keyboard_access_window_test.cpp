// The window for keyboard and screen-reader users: Tab walks the visible gadgets of the
// shown tab in reading order, the program's service gadgets are never reached, and every
// gadget has a name in the current language.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/languages.h"
#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

class KeyboardAccessTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
    }

    static bool isEditor(Gadget gadget) {
        const Gadgets& g = app.g;
        for (Gadget editor : {g.searchEditor1, g.replaceEditor1, g.edi4, g.edi5, g.edi6})
            if (gadget == editor) return true;
        return false;
    }

    // The gadgets the focus visits from the tab bar on, pressing Tab (Ctrl+Tab to leave an
    // editor) until it is back at the tab bar.
    static std::vector<Gadget> walkFromTheTabBar() {
        std::vector<Gadget> visited;
        tk::setActiveGadget(app.g.mainPanel);
        for (int step = 0; step < 40; ++step) {
            tk::testing::pressTab(false, isEditor(tk::getActiveGadget()));
            processEvents();
            const Gadget now = tk::getActiveGadget();
            if (now == app.g.mainPanel) break;
            visited.push_back(now);
        }
        return visited;
    }
};

TEST_F(KeyboardAccessTest, TabWalksEachTabInReadingOrderAndComesRound) {
    const Gadgets& g = app.g;
    auto option = [](const char* key) { return app.options[key].gadget; };
    auto toggle = [](const char* key) { return app.extensions[key].gadget; };
    const std::vector<Gadget> work = {
        g.fileList,     g.workCombo,     g.workSave,      g.workDelete,     g.addFilesButton, g.addFoldersButton,
        toggle("txt"),  toggle("hta"),   toggle("htm"),   toggle("htl"),    g.previewButton,  g.runButton1,
        option("spa1"),
        option("cas1"), option("reg1"),  g.searchSave1,   g.searchDelete1,  g.searchCombo1,   g.searchEditor1,
        g.replaceSave1, g.replaceDelete1, g.replaceCombo1, g.replaceEditor1};
    const std::vector<Gadget> polygon = {
        g.runButton2,    option("spa2"),   option("cas2"), option("reg2"), g.edi4,          g.searchSave2,
        g.searchDelete2, g.searchCombo2,   g.edi5,         g.replaceSave2, g.replaceDelete2, g.replaceCombo2,
        g.edi6};
    const std::vector<Gadget> setting = {g.languageCombo, option("ton"), option("tip"), option("esc"),
                                         option("hek"),   option("rez"), option("lin"), g.codePageCombo,
                                         g.backupTree};
    const std::vector<Gadget>* expected[] = {&work, &polygon, &setting};
    for (int tab : {workTab, polygonTab, settingTab}) {
        SCOPED_TRACE("tab " + std::to_string(tab));
        tk::testing::chooseTab(g.mainPanel, tab);
        processEvents();
        EXPECT_EQ(walkFromTheTabBar(), *expected[tab]);
        // Backwards from the tab bar comes round to the last gadget.
        tk::setActiveGadget(g.mainPanel);
        tk::testing::pressTab(true);
        processEvents();
        EXPECT_EQ(tk::getActiveGadget(), expected[tab]->back());
    }
    // Nothing typed on the way reached the program's hidden editors.
    EXPECT_EQ(tk::getGadgetText(g.scratchEditor), u"");
    for (Gadget buffer : g.editorBuffer) EXPECT_EQ(tk::getGadgetText(buffer), u"");
}

// In an editor Tab is a character; Ctrl+Tab and Ctrl+Shift+Tab leave it.
TEST_F(KeyboardAccessTest, TabIsTypedInAnEditorAndCtrlTabLeavesIt) {
    const Gadgets& g = app.g;
    tk::setGadgetText(g.searchEditor1, u"ab");
    tk::setActiveGadget(g.searchEditor1);
    tk::setEditorSelection(g.searchEditor1, 1, 1);
    tk::testing::pressTab();
    processEvents();
    EXPECT_EQ(tk::getGadgetText(g.searchEditor1), u"a\tb");
    EXPECT_EQ(tk::getActiveGadget(), g.searchEditor1);
    tk::testing::pressTab(false, true);
    processEvents();
    EXPECT_EQ(tk::getActiveGadget(), g.replaceSave1);
    tk::testing::pressTab(true);
    processEvents();
    EXPECT_EQ(tk::getActiveGadget(), g.searchEditor1);
    tk::testing::pressTab(true, true);
    processEvents();
    EXPECT_EQ(tk::getActiveGadget(), g.searchCombo1);
}

// A click on an option sends the focus to the hidden sink; the next Tab goes on from the
// option's place, and the sink itself is never reached by the keyboard.
TEST_F(KeyboardAccessTest, FromTheFocusSinkTabGoesOnFromTheClickedOption) {
    tk::testing::chooseTab(app.g.mainPanel, settingTab);
    processEvents();
    const Gadget esc = app.options["esc"].gadget;
    tk::testing::clickGadgetAt(esc, 7, tk::gadgetHeight(esc) / 2);
    processEvents();
    ASSERT_EQ(tk::getActiveGadget(), app.g.focusSink);
    tk::testing::pressTab();
    processEvents();
    EXPECT_EQ(tk::getActiveGadget(), app.options["hek"].gadget);
    tk::testing::clickGadgetAt(esc, 7, tk::gadgetHeight(esc) / 2);
    processEvents();
    ASSERT_EQ(tk::getActiveGadget(), app.g.focusSink);
    tk::testing::pressTab(true);
    processEvents();
    EXPECT_EQ(tk::getActiveGadget(), app.options["tip"].gadget);
}

// Every gadget shown has a name a screen reader can speak, in the current language; the
// program's service gadgets are not offered at all.
TEST_F(KeyboardAccessTest, EveryShownGadgetHasANameInTheCurrentLanguage) {
    const Gadgets& g = app.g;
    for (int tab : {workTab, polygonTab, settingTab}) {
        tk::testing::chooseTab(g.mainPanel, tab);
        processEvents();
        for (Gadget gadget : tk::testing::shownGadgets())
            EXPECT_FALSE(tk::testing::accessibleName(gadget).empty()) << "tab " << tab << ", gadget " << gadget;
    }
    EXPECT_EQ(tk::testing::accessibleName(app.options["reg1"].gadget), u"To use regular expressions");
    EXPECT_EQ(tk::testing::accessibleName(app.extensions["htl"].gadget), u"To search in files with expansion  HTML");
    EXPECT_EQ(tk::testing::accessibleName(g.searchEditor1), u"What to search");
    EXPECT_EQ(tk::testing::accessibleName(g.replaceCombo1), u"Than to replace");
    EXPECT_EQ(tk::testing::accessibleName(g.txt3), u"0");
    for (Gadget service : {g.focusSink, g.scratchEditor})
        EXPECT_FALSE(tk::testing::offeredToAssistiveTechnology(service));
    for (Gadget buffer : g.editorBuffer) EXPECT_FALSE(tk::testing::offeredToAssistiveTechnology(buffer));
    EXPECT_TRUE(tk::testing::offeredToAssistiveTechnology(g.languageCombo));

    // Tool tips off change nothing; another language renames every gadget.
    tk::setGadgetState(app.options["tip"].gadget, 0);
    fs::create_directories("language");
    fs::copy_file(shippedLanguages / "German.lng", "language/German.lng");
    discoverLanguages();
    chooseLanguage(u"German");
    EXPECT_EQ(tk::testing::accessibleName(app.options["reg1"].gadget), u"Regul\u00E4re Ausdr\u00FCcke verwenden");
    EXPECT_EQ(tk::testing::accessibleName(g.searchEditor1), u"Suchen nach");
}

}  // namespace
