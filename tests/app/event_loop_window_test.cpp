// The event loop's rules on the real window: when the loop ends, and where the keyboard
// focus goes after clicks on option check boxes and tabs.

#include <gtest/gtest.h>

#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

// The program's window on its first start in a fresh temporary working directory.
class EventLoopTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindowOnly();
        while (tk::pollEvent() != 0) {
        }
    }

    // Hands every queued event to the loop's rules; false as soon as one ends the loop.
    static bool loopGoesOn() {
        tk::testing::settle();
        int kind;
        while ((kind = tk::pollEvent()) != 0) {
            if (!handleEvent(kind)) return false;
        }
        return true;
    }

    static void click(Gadget gadget) {
        tk::testing::clickGadget(gadget);
        EXPECT_TRUE(loopGoesOn());
    }
};

TEST_F(EventLoopTest, TheCloseBoxEndsTheLoop) {
    tk::testing::clickCloseBox();
    EXPECT_FALSE(loopGoesOn());
}

TEST_F(EventLoopTest, EscapeEndsTheLoopWhileExitOnEscIsChecked) {
    ASSERT_EQ(tk::getGadgetState(app.options["esc"].gadget), 1);
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_FALSE(loopGoesOn());
}

// Escape while a drop-down list or the popup menu is open closes only that; the next
// Escape acts as the option says.
TEST_F(EventLoopTest, EscapeClosesAnOpenListOrMenuFirst) {
    ASSERT_EQ(tk::getGadgetState(app.options["esc"].gadget), 1);
    tk::testing::chooseTab(app.g.mainPanel, 2);
    EXPECT_TRUE(loopGoesOn());
    tk::testing::openComboList(app.g.languageCombo);
    ASSERT_TRUE(tk::testing::comboListIsOpen(app.g.languageCombo));
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_TRUE(loopGoesOn());
    EXPECT_FALSE(tk::testing::comboListIsOpen(app.g.languageCombo));
    EXPECT_TRUE(tk::windowIsOpen());

    tk::testing::chooseTab(app.g.mainPanel, 1);
    tk::testing::rightClickGadget(app.g.edi4);
    EXPECT_TRUE(loopGoesOn());
    ASSERT_TRUE(tk::testing::popupMenuIsOpen());
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_TRUE(loopGoesOn());
    EXPECT_FALSE(tk::testing::popupMenuIsOpen());

    tk::testing::pressKey(tk::keyEscape);
    EXPECT_FALSE(loopGoesOn());
}

TEST_F(EventLoopTest, EscapeDoesNothingWhileExitOnEscIsUnchecked) {
    click(app.options["esc"].gadget);
    ASSERT_EQ(tk::getGadgetState(app.options["esc"].gadget), 0);
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_TRUE(loopGoesOn());
    EXPECT_TRUE(tk::windowIsOpen());
    // Checked again, the next Escape leaves.
    click(app.options["esc"].gadget);
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_FALSE(loopGoesOn());
}

TEST_F(EventLoopTest, TheLiveCheckBoxDecidesAboutEscapeNotTheStoredOption) {
    app.options["esc"].state = 0;
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_FALSE(loopGoesOn());
}

TEST_F(EventLoopTest, OtherEventsKeepTheLoopGoing) {
    tk::testing::chooseTab(app.g.mainPanel, 1);
    tk::testing::rightClickGadget(app.g.edi4);
    tk::testing::closePopupMenu();
    tk::testing::moveMouseOver(app.g.runButton2);
    tk::testing::clickGadget(app.options["cas2"].gadget);
    EXPECT_TRUE(loopGoesOn());
    EXPECT_TRUE(tk::windowIsOpen());
}

// Every option check box, on its own tab, toggles on a click and hands the focus to the
// hidden focus sink.
TEST_F(EventLoopTest, OptionCheckBoxesToggleAndMoveTheFocusToTheSink) {
    const struct { const char* key; int tab; Gadget* before; } options[] = {
        {"reg1", 0, &app.g.searchEditor1}, {"cas1", 0, &app.g.searchEditor1},
        {"spa1", 0, &app.g.replaceEditor1}, {"reg2", 1, &app.g.edi4},
        {"cas2", 1, &app.g.edi5},           {"spa2", 1, &app.g.edi6},
        {"ton", 2, &app.g.languageCombo},   {"tip", 2, &app.g.languageCombo},
        {"esc", 2, &app.g.languageCombo},   {"hek", 2, &app.g.languageCombo},
        {"rez", 2, &app.g.languageCombo},
    };
    for (const auto& option : options) {
        SCOPED_TRACE(option.key);
        tk::testing::chooseTab(app.g.mainPanel, option.tab);
        ASSERT_TRUE(loopGoesOn());
        ASSERT_EQ(tk::getGadgetState(app.g.mainPanel), option.tab);
        tk::setActiveGadget(*option.before);
        ASSERT_EQ(tk::getActiveGadget(), *option.before);
        Gadget box = app.options[option.key].gadget;
        int state = tk::getGadgetState(box);
        click(box);
        EXPECT_EQ(tk::getGadgetState(box), 1 - state);
        EXPECT_EQ(tk::getActiveGadget(), app.g.focusSink);
    }
}

TEST_F(EventLoopTest, ClickingReg1MovesTheFocusAndGivesTheRowItsRegexLook) {
    tk::testing::chooseTab(app.g.mainPanel, 0);
    ASSERT_TRUE(loopGoesOn());
    tk::setActiveGadget(app.g.searchEditor1);
    click(app.options["reg1"].gadget);
    EXPECT_EQ(tk::getActiveGadget(), app.g.focusSink);
    for (Gadget editor : {app.g.searchEditor1, app.g.replaceEditor1}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), 0xE1E4FFu);
        EXPECT_EQ(tk::getGadgetColour(editor, tk::frontColour), 0x9314FFu);
    }
    click(app.options["reg1"].gadget);
    for (Gadget editor : {app.g.searchEditor1, app.g.replaceEditor1}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), tk::systemWindowColour());
        EXPECT_EQ(tk::getGadgetColour(editor, tk::frontColour), 0x000000u);
    }
}

TEST_F(EventLoopTest, SwitchingTabsMovesTheFocusToTheSink) {
    for (int tab : {0, 1, 2, 0}) {
        SCOPED_TRACE(tab);
        tk::setActiveGadget(tab == 1 ? app.g.searchEditor1 : app.g.edi4);
        tk::testing::chooseTab(app.g.mainPanel, tab);
        ASSERT_TRUE(loopGoesOn());
        EXPECT_EQ(tk::getGadgetState(app.g.mainPanel), tab);
        EXPECT_EQ(tk::getActiveGadget(), app.g.focusSink);
    }
}

TEST_F(EventLoopTest, AClickOnAHostedCheckBoxIsNoRunOfTheButton) {
    tk::testing::chooseTab(app.g.mainPanel, 1);
    ASSERT_TRUE(loopGoesOn());
    int messages = 0;
    tk::setMessageBoxHook([&messages](const Text&, const Text&) { ++messages; });
    tk::setGadgetText(app.g.edi4, u"abc abc");
    tk::setGadgetText(app.g.edi5, u"abc");
    tk::setGadgetText(app.g.edi6, u"x");
    Gadget spa2 = app.options["spa2"].gadget;
    int w = tk::gadgetWidth(app.g.runButton2);
    // Where the box is drawn on the button's face.
    tk::testing::clickGadgetAt(app.g.runButton2, w - 65 + 7, 8 + 7);
    EXPECT_TRUE(loopGoesOn());
    EXPECT_EQ(tk::getGadgetState(spa2), 1);
    EXPECT_EQ(tk::getGadgetText(app.g.edi4), u"abc abc");
    EXPECT_EQ(messages, 0);
    tk::setMessageBoxHook(nullptr);
}

TEST_F(EventLoopTest, CursorTestsTakeLeftAndTopEdgesAsInside) {
    tk::testing::chooseTab(app.g.mainPanel, 0);
    ASSERT_TRUE(loopGoesOn());
    Gadget button = app.g.workSave;
    int x, y, w, h;
    ASSERT_TRUE(tk::gadgetScreenRect(button, x, y, w, h));
    tk::testing::moveMouseTo(x, y);
    EXPECT_TRUE(cursorInsideGadget(button));
    tk::testing::moveMouseTo(x + w - 1, y + h - 1);
    EXPECT_TRUE(cursorInsideGadget(button));
    tk::testing::moveMouseTo(x + w, y + h / 2);
    EXPECT_FALSE(cursorInsideGadget(button));
    tk::testing::moveMouseTo(x + w / 2, y + h);
    EXPECT_FALSE(cursorInsideGadget(button));
    tk::testing::moveMouseTo(x - 1, y);
    EXPECT_FALSE(cursorInsideGadget(button));

    tk::testing::moveMouseTo(x + 3, y + 3);
    EXPECT_TRUE(cursorInsideEnabledGadget(button));
    tk::disableGadget(button, true);
    EXPECT_FALSE(cursorInsideEnabledGadget(button));
    EXPECT_TRUE(cursorInsideGadget(button));
    tk::disableGadget(button, false);
    EXPECT_FALSE(cursorInsideGadget(0));
}

}  // namespace
