// The toolkit layer on the real widgets: gadget numbers, text and state per gadget kind,
// the events user input queues, hosted check boxes, window bounds and the event queue.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

using tk::Gadget;

struct Seen {
    int kind;
    Gadget gadget;
    int type;
    int menu;
};

// Takes every queued event off the queue.
std::vector<Seen> drainEvents() {
    std::vector<Seen> seen;
    int kind;
    while ((kind = tk::pollEvent()) != 0) {
        seen.push_back({kind, tk::eventGadget(), tk::eventType(), tk::eventMenu()});
    }
    return seen;
}

std::vector<Seen> ofKind(const std::vector<Seen>& events, int kind) {
    std::vector<Seen> result;
    std::copy_if(events.begin(), events.end(), std::back_inserter(result),
                 [kind](const Seen& e) { return e.kind == kind; });
    return result;
}

// The gadget events among everything that is queued now.
std::vector<Seen> gadgetEvents() { return ofKind(drainEvents(), tk::gadgetEvent); }

// A fresh window 0 of 700 × 600 for every test, released afterwards.
class ToolkitTest : public testing::Test {
protected:
    void SetUp() override {
        if (tk::windowIsOpen()) tk::shutDown();
        ASSERT_TRUE(tk::openWindow(20, 20, 700, 600, u"Toolkit"));
        tk::testing::settle();
        drainEvents();
    }
    void TearDown() override { tk::shutDown(); }
};

// ---- Numbers --------------------------------------------------------------------------

TEST_F(ToolkitTest, EveryCreatorHandsOutAFreshNonZeroNumber) {
    std::vector<Gadget> made = {
        tk::buttonGadget(0, 0, 50, 20, u"b"),
        tk::imageButtonGadget(0, 0, 20, 20, 0, tk::toggleFlag),
        tk::checkBoxGadget(0, 0, 50, 20, u"c"),
        tk::textGadget(0, 0, 50, 20, u"t"),
        tk::editorGadget(0, 0, 50, 50),
        tk::comboBoxGadget(0, 0, 50, 20, tk::comboEditable),
        tk::listGadget(0, 0, 100, 100, u"Y/N", 40, tk::listCheckBoxes),
        tk::folderTreeGadget(0, 0, 100, 100, u"/", tk::treeFoldersOnly),
    };
    Gadget container = tk::containerGadget(0, 0, 100, 100, tk::containerBorder);
    tk::closeGadgetList();
    made.push_back(container);
    Gadget panel = tk::panelGadget(0, 0, 200, 200);
    tk::closeGadgetList();
    made.push_back(panel);

    for (Gadget g : made) {
        EXPECT_NE(g, 0);
        EXPECT_TRUE(tk::isGadget(g));
    }
    std::vector<Gadget> sorted = made;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a number was handed out twice";
}

TEST_F(ToolkitTest, AFreedNumberNamesNoGadgetAndIsNotHandedOutAgain) {
    Gadget first = tk::buttonGadget(0, 0, 50, 20, u"first");
    tk::freeGadget(first);
    EXPECT_FALSE(tk::isGadget(first));
    EXPECT_EQ(tk::getGadgetText(first), u"");
    Gadget second = tk::buttonGadget(0, 0, 50, 20, u"second");
    EXPECT_NE(second, first);
    EXPECT_EQ(tk::getGadgetText(second), u"second");
}

TEST_F(ToolkitTest, UnknownNumbersDoNothingAndAnswerZero) {
    Gadget box = tk::checkBoxGadget(10, 10, 80, 20, u"box");
    for (Gadget unknown : {Gadget{0}, Gadget{-1}, box + 1000}) {
        SCOPED_TRACE(unknown);
        EXPECT_FALSE(tk::isGadget(unknown));
        tk::setGadgetText(unknown, u"text");
        tk::setGadgetState(unknown, 1);
        tk::resizeGadget(unknown, 1, 2, 3, 4);
        tk::disableGadget(unknown, true);
        tk::hideGadget(unknown, true);
        tk::addGadgetItem(unknown, -1, u"item");
        EXPECT_EQ(tk::getGadgetText(unknown), u"");
        EXPECT_EQ(tk::getGadgetState(unknown), 0);
        EXPECT_EQ(tk::countGadgetItems(unknown), 0);
        EXPECT_EQ(tk::gadgetX(unknown), 0);
        EXPECT_EQ(tk::gadgetY(unknown), 0);
        EXPECT_EQ(tk::gadgetWidth(unknown), 0);
        EXPECT_EQ(tk::gadgetHeight(unknown), 0);
        EXPECT_FALSE(tk::isGadgetDisabled(unknown));
        EXPECT_FALSE(tk::isGadgetHidden(unknown));
        EXPECT_EQ(tk::getGadgetAttribute(unknown, tk::panelItemWidth), 0);
        int x = 5, y = 5, w = 5, h = 5;
        EXPECT_FALSE(tk::gadgetScreenRect(unknown, x, y, w, h));
    }
    // The real gadget next to them was not touched.
    EXPECT_EQ(tk::getGadgetText(box), u"box");
    EXPECT_EQ(tk::getGadgetState(box), 0);
    EXPECT_FALSE(tk::isGadgetDisabled(box));
    EXPECT_EQ(tk::gadgetWidth(box), 80);
}

TEST_F(ToolkitTest, UnregisteredNamesYieldZeroAndRegisteredNamesFollowTheirVariable) {
    static Gadget variable = 0;
    tk::registerGadgetName("probe", &variable);
    EXPECT_EQ(tk::gadgetByName("probe"), 0);
    variable = tk::textGadget(0, 0, 10, 10, u"x");
    EXPECT_EQ(tk::gadgetByName("probe"), variable);
    EXPECT_EQ(tk::gadgetByName("probe2"), 0);
}

// ---- Geometry -------------------------------------------------------------------------

TEST_F(ToolkitTest, ResizeWithIgnoreValueKeepsTheOtherValues) {
    Gadget button = tk::buttonGadget(12, 34, 100, 30, u"b");
    tk::resizeGadget(button, tk::ignoreValue, tk::ignoreValue, 150, 40);
    EXPECT_EQ(tk::gadgetX(button), 12);
    EXPECT_EQ(tk::gadgetY(button), 34);
    EXPECT_EQ(tk::gadgetWidth(button), 150);
    EXPECT_EQ(tk::gadgetHeight(button), 40);

    tk::resizeGadget(button, 50, tk::ignoreValue, tk::ignoreValue, tk::ignoreValue);
    EXPECT_EQ(tk::gadgetX(button), 50);
    EXPECT_EQ(tk::gadgetY(button), 34);
    EXPECT_EQ(tk::gadgetWidth(button), 150);
    EXPECT_EQ(tk::gadgetHeight(button), 40);
}

TEST_F(ToolkitTest, GadgetsInAContainerAreAtPositionsInsideItsBorder) {
    Gadget box = tk::containerGadget(100, 50, 300, 200, tk::containerBorder);
    Gadget inner = tk::buttonGadget(10, 20, 60, 25, u"in");
    tk::closeGadgetList();
    Gadget outer = tk::buttonGadget(10, 20, 60, 25, u"out");
    EXPECT_EQ(tk::gadgetX(inner), 10);
    EXPECT_EQ(tk::gadgetY(inner), 20);
    int ix, iy, iw, ih, ox, oy, ow, oh;
    ASSERT_TRUE(tk::gadgetScreenRect(inner, ix, iy, iw, ih));
    ASSERT_TRUE(tk::gadgetScreenRect(outer, ox, oy, ow, oh));
    // One pixel of border between the container's edge and its client area.
    EXPECT_EQ(ix - ox, 101);
    EXPECT_EQ(iy - oy, 51);
    EXPECT_EQ(iw, 60);
    EXPECT_EQ(ih, 25);
    (void)box;
}

TEST_F(ToolkitTest, PanelPagesReportTheirInnerSize) {
    Gadget panel = tk::panelGadget(7, 7, 686, 586);
    tk::addGadgetItem(panel, -1, u"One");
    int pw = tk::getGadgetAttribute(panel, tk::panelItemWidth);
    int ph = tk::getGadgetAttribute(panel, tk::panelItemHeight);
    EXPECT_GT(pw, 600);
    EXPECT_LE(pw, 686);
    EXPECT_GT(ph, 450);
    EXPECT_LT(ph, 586);  // the tabs take their share of the height
    tk::resizeGadget(panel, tk::ignoreValue, tk::ignoreValue, 786, 686);
    tk::testing::settle();
    EXPECT_EQ(tk::getGadgetAttribute(panel, tk::panelItemWidth), pw + 100);
    EXPECT_EQ(tk::getGadgetAttribute(panel, tk::panelItemHeight), ph + 100);
}

// ---- Text and state round trips -------------------------------------------------------

TEST_F(ToolkitTest, ButtonTooNarrowForItsCaptionBreaksItAtSpaces) {
    Gadget button = tk::buttonGadget(0, 0, 400, 48, u"Undo the last run");
    EXPECT_EQ(tk::testing::shownCaption(button), u"Undo the last run");
    tk::resizeGadget(button, tk::ignoreValue, tk::ignoreValue, 70, tk::ignoreValue);
    const tk::Text shown = tk::testing::shownCaption(button);
    EXPECT_NE(shown.find(u'\n'), tk::Text::npos);
    tk::Text joined = shown;
    for (char16_t& unit : joined) unit = unit == u'\n' ? u' ' : unit;
    EXPECT_EQ(joined, u"Undo the last run");
    // The program and assistive technology still get the caption as it was given.
    EXPECT_EQ(tk::getGadgetText(button), u"Undo the last run");
    EXPECT_EQ(tk::testing::accessibleName(button), u"Undo the last run");
    tk::setGadgetText(button, u"Undo");
    EXPECT_EQ(tk::testing::shownCaption(button), u"Undo");
    EXPECT_EQ(tk::testing::accessibleName(button), u"Undo");
    tk::setGadgetText(button, u"Undo the last run");
    tk::resizeGadget(button, tk::ignoreValue, tk::ignoreValue, 400, tk::ignoreValue);
    EXPECT_EQ(tk::testing::shownCaption(button), u"Undo the last run");
}

TEST_F(ToolkitTest, ButtonCheckBoxAndTextKeepTheTextTheyAreGiven) {
    Gadget button = tk::buttonGadget(0, 0, 80, 20, u"Start");
    Gadget box = tk::checkBoxGadget(0, 30, 80, 20, u"Option");
    Gadget label = tk::textGadget(0, 60, 80, 20, u"Label");
    EXPECT_EQ(tk::getGadgetText(button), u"Start");
    EXPECT_EQ(tk::getGadgetText(box), u"Option");
    EXPECT_EQ(tk::getGadgetText(label), u"Label");
    for (Gadget g : {button, box, label}) {
        tk::setGadgetText(g, u"Ünïcödé \u0416 text");
        EXPECT_EQ(tk::getGadgetText(g), u"Ünïcödé \u0416 text");
    }
    tk::setGadgetText(label, u"");
    EXPECT_EQ(tk::getGadgetText(label), u"");
}

TEST_F(ToolkitTest, EditorTextHasCrLfBetweenLinesWhateverBreaksItWasGiven) {
    Gadget editor = tk::editorGadget(0, 0, 300, 200);
    EXPECT_EQ(tk::getGadgetText(editor), u"");
    tk::setGadgetText(editor, u"one\r\ntwo\nthree\rfour");
    EXPECT_EQ(tk::getGadgetText(editor), u"one\r\ntwo\r\nthree\r\nfour");
    tk::setGadgetText(editor, u"a\r\n\r\n\r\nb\r\n");
    EXPECT_EQ(tk::getGadgetText(editor), u"a\r\n\r\n\r\nb\r\n");
    tk::setGadgetText(editor, u"\n");
    EXPECT_EQ(tk::getGadgetText(editor), u"\r\n");
    tk::setGadgetText(editor, u"single line");
    EXPECT_EQ(tk::getGadgetText(editor), u"single line");
}

TEST_F(ToolkitTest, EditorSelectionCountsCharactersAndReplacesWithCrLfLines) {
    Gadget editor = tk::editorGadget(0, 0, 300, 200);
    tk::setGadgetText(editor, u"abc\r\ndef");
    tk::setEditorSelection(editor, 1, 6);
    int start = -1, end = -1;
    tk::getEditorSelection(editor, start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 6);
    EXPECT_EQ(tk::editorSelectedText(editor), u"bc\r\nde");
    tk::replaceEditorSelection(editor, u"X\nY");
    EXPECT_EQ(tk::getGadgetText(editor), u"aX\r\nYf");
    tk::setEditorSelection(editor, 0, -1);
    EXPECT_EQ(tk::editorSelectedText(editor), u"aX\r\nYf");
}

TEST_F(ToolkitTest, CheckBoxAndToggleStatesAreZeroOrOne) {
    Gadget box = tk::checkBoxGadget(0, 0, 80, 20, u"box");
    Gadget toggle = tk::imageButtonGadget(100, 0, 48, 48, 0, tk::toggleFlag);
    Gadget plain = tk::imageButtonGadget(200, 0, 48, 48, 0);
    for (Gadget g : {box, toggle}) {
        EXPECT_EQ(tk::getGadgetState(g), 0);
        tk::setGadgetState(g, 1);
        EXPECT_EQ(tk::getGadgetState(g), 1);
        tk::setGadgetState(g, 0);
        EXPECT_EQ(tk::getGadgetState(g), 0);
    }
    // A plain image button never stays pressed.
    tk::setGadgetState(plain, 1);
    EXPECT_EQ(tk::getGadgetState(plain), 0);
}

TEST_F(ToolkitTest, DropDownComboSelectsByIndexOrByText) {
    Gadget combo = tk::comboBoxGadget(0, 0, 200, 25);
    for (const char16_t* item : {u"alpha", u"beta", u"gamma"}) tk::addGadgetItem(combo, -1, item);
    EXPECT_EQ(tk::countGadgetItems(combo), 3);
    EXPECT_EQ(tk::getGadgetItemText(combo, 1), u"beta");
    tk::setGadgetState(combo, 2);
    EXPECT_EQ(tk::getGadgetState(combo), 2);
    EXPECT_EQ(tk::getGadgetText(combo), u"gamma");
    tk::setGadgetText(combo, u"alpha");
    EXPECT_EQ(tk::getGadgetState(combo), 0);
    tk::setGadgetState(combo, -1);
    EXPECT_EQ(tk::getGadgetState(combo), -1);
    EXPECT_EQ(tk::getGadgetText(combo), u"");
}

TEST_F(ToolkitTest, EditableComboKeepsItsFieldWhenEntriesComeAndGo) {
    Gadget combo = tk::comboBoxGadget(0, 0, 200, 25, tk::comboEditable);
    tk::setGadgetText(combo, u"*.txt");
    EXPECT_EQ(tk::getGadgetText(combo), u"*.txt");
    tk::addGadgetItem(combo, -1, u"*.htm");
    tk::addGadgetItem(combo, 0, u"*.html");
    EXPECT_EQ(tk::getGadgetText(combo), u"*.txt");
    EXPECT_EQ(tk::getGadgetItemText(combo, 0), u"*.html");
    tk::removeGadgetItem(combo, 0);
    EXPECT_EQ(tk::countGadgetItems(combo), 1);
    EXPECT_EQ(tk::getGadgetText(combo), u"*.txt");
    tk::clearGadgetItems(combo);
    EXPECT_EQ(tk::countGadgetItems(combo), 0);
    EXPECT_EQ(tk::getGadgetText(combo), u"*.txt");
}

TEST_F(ToolkitTest, PanelStateIsTheCurrentPageAndItsTextTheTabText) {
    Gadget panel = tk::panelGadget(0, 0, 400, 300);
    tk::addGadgetItem(panel, -1, u"Work ");
    tk::addGadgetItem(panel, -1, u"Polygon ");
    tk::addGadgetItem(panel, -1, u"Setting ");
    tk::closeGadgetList();
    EXPECT_EQ(tk::countGadgetItems(panel), 3);
    EXPECT_EQ(tk::getGadgetState(panel), 0);
    EXPECT_EQ(tk::getGadgetText(panel), u"Work ");
    tk::setGadgetState(panel, 2);
    EXPECT_EQ(tk::getGadgetState(panel), 2);
    EXPECT_EQ(tk::getGadgetText(panel), u"Setting ");
    EXPECT_EQ(tk::getGadgetItemText(panel, 1), u"Polygon ");
}

TEST_F(ToolkitTest, GadgetsGoOntoThePageAddedLast) {
    Gadget panel = tk::panelGadget(0, 0, 400, 300);
    tk::addGadgetItem(panel, -1, u"A");
    Gadget onFirst = tk::buttonGadget(5, 5, 50, 20, u"1");
    tk::addGadgetItem(panel, -1, u"B");
    Gadget onSecond = tk::buttonGadget(5, 5, 50, 20, u"2");
    tk::closeGadgetList();
    tk::testing::settle();
    int x1, y1, w1, h1, x2, y2, w2, h2;
    ASSERT_TRUE(tk::gadgetScreenRect(onFirst, x1, y1, w1, h1));
    ASSERT_TRUE(tk::gadgetScreenRect(onSecond, x2, y2, w2, h2));
    EXPECT_EQ(x1, x2);
    EXPECT_EQ(y1, y2);
    // Only the current page's gadgets take clicks.
    tk::testing::clickGadget(onFirst);
    tk::testing::clickGadget(onSecond);
    std::vector<Seen> clicked = gadgetEvents();
    ASSERT_GE(clicked.size(), 1u);
    EXPECT_EQ(clicked.front().gadget, onFirst);
}

TEST_F(ToolkitTest, FolderTreeTextIsTheSelectedFolderWithAFinalSlash) {
    Gadget tree = tk::folderTreeGadget(0, 0, 300, 300, u"/tmp", tk::treeFoldersOnly | tk::treeSorted);
    EXPECT_EQ(tk::getGadgetText(tree), u"/tmp/");
    tk::setGadgetText(tree, u"/usr/");
    EXPECT_EQ(tk::getGadgetText(tree), u"/usr/");
}

TEST_F(ToolkitTest, ListRowsKeepTheirColumnsCheckMarksAndColours) {
    Gadget list = tk::listGadget(0, 0, 400, 200, u"Y/N", 50, tk::listCheckBoxes);
    tk::addGadgetColumn(list, 1, u"Path", 300);
    tk::addGadgetItem(list, -1, u"\nb.txt");
    tk::addGadgetItem(list, 0, u"\na.txt");
    tk::addGadgetItem(list, -1, u"\nc.txt");
    ASSERT_EQ(tk::countGadgetItems(list), 3);
    EXPECT_EQ(tk::getGadgetItemText(list, 0, 1), u"a.txt");
    EXPECT_EQ(tk::getGadgetItemText(list, 1, 1), u"b.txt");
    EXPECT_EQ(tk::getGadgetItemText(list, 2, 1), u"c.txt");
    EXPECT_EQ(tk::getGadgetItemText(list, 0, 0), u"");
    EXPECT_EQ(tk::getGadgetItemText(list, 3, 1), u"");
    tk::setGadgetItemState(list, 1, 1);
    EXPECT_EQ(tk::getGadgetItemState(list, 0), 0);
    EXPECT_EQ(tk::getGadgetItemState(list, 1), 1);
    tk::setGadgetItemColour(list, 2, tk::frontColour, 0x3C14DC);
    EXPECT_EQ(tk::getGadgetItemColour(list, 2, tk::frontColour), 0x3C14DCu);
    EXPECT_EQ(tk::getGadgetItemColour(list, 1, tk::frontColour), 0u);
    EXPECT_EQ(tk::getGadgetItemAttribute(list, 0, tk::columnWidth, 1), 300);
    tk::setGadgetItemAttribute(list, 0, tk::columnWidth, 250, 1);
    EXPECT_EQ(tk::getGadgetItemAttribute(list, 0, tk::columnWidth, 1), 250);
    tk::removeGadgetItem(list, 0);
    EXPECT_EQ(tk::getGadgetItemText(list, 0, 1), u"b.txt");
    EXPECT_EQ(tk::getGadgetItemState(list, 0), 1);
    tk::clearGadgetItems(list);
    EXPECT_EQ(tk::countGadgetItems(list), 0);
    EXPECT_TRUE(drainEvents().empty());
}

// Rows added many at a time are the rows that one addGadgetItem each would give.
TEST_F(ToolkitTest, ListRowsAddedTogetherMatchRowsAddedOneByOne) {
    const std::vector<tk::Text> texts = {u"a.txt", u"x\ny", u"", u"\nz"};
    for (const tk::Text& prefix : {tk::Text(u"\n"), tk::Text(), tk::Text(u"p\nq"), tk::Text(u"p")}) {
        Gadget single = tk::listGadget(0, 0, 400, 200, u"Y/N", 50, tk::listCheckBoxes);
        Gadget together = tk::listGadget(0, 0, 400, 200, u"Y/N", 50, tk::listCheckBoxes);
        for (Gadget list : {single, together}) {
            tk::addGadgetColumn(list, 1, u"Path", 300);
            tk::addGadgetItem(list, -1, u"\nfirst");
        }
        for (const tk::Text& text : texts) tk::addGadgetItem(single, -1, prefix + text);
        tk::addGadgetItems(together, prefix, texts.data(), texts.size());
        ASSERT_EQ(tk::countGadgetItems(together), tk::countGadgetItems(single));
        for (int row = 0; row < tk::countGadgetItems(single); ++row) {
            for (int column = 0; column < 2; ++column)
                EXPECT_EQ(tk::getGadgetItemText(together, row, column), tk::getGadgetItemText(single, row, column));
            EXPECT_EQ(tk::getGadgetItemState(together, row), 0);
        }
    }
    EXPECT_TRUE(drainEvents().empty());
}

// Rows that show the caller's texts instead of copies read as rows added with copies,
// after the caller's list has grown (and moved its texts) too; a text set in such a row,
// or a column emptied, replaces what it showed.
TEST_F(ToolkitTest, ListRowsShowingTheCallersTextsReadAsCopiedRows) {
    std::vector<tk::Text> texts = {u"a.txt", u"sub/b.txt", u"", u"a rather long name that is not kept inline.txt"};
    Gadget copied = tk::listGadget(0, 0, 400, 200, u"Y/N", 50, tk::listCheckBoxes);
    Gadget shown = tk::listGadget(0, 0, 400, 200, u"Y/N", 50, tk::listCheckBoxes);
    for (Gadget list : {copied, shown}) tk::addGadgetColumn(list, 1, u"Path", 300);
    tk::addGadgetItems(copied, u"\n", texts.data() + 1, 3);
    tk::addGadgetItemsFrom(shown, texts, 1, 3);
    for (int i = 0; i < 1000; ++i) texts.push_back(u"later " + tk::Text(static_cast<size_t>(i % 50), u'x'));
    ASSERT_EQ(tk::countGadgetItems(shown), 3);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(tk::getGadgetItemText(shown, row, column), tk::getGadgetItemText(copied, row, column));
    }
    EXPECT_EQ(tk::getGadgetItemText(shown, 2, 1), u"a rather long name that is not kept inline.txt");
    tk::addGadgetItemsFrom(shown, texts, 4, 2);
    EXPECT_EQ(tk::getGadgetItemText(shown, 4, 1), u"later x");
    tk::addGadgetItemsFrom(shown, texts, texts.size(), 1);  // beyond the list: nothing
    EXPECT_EQ(tk::countGadgetItems(shown), 5);
    tk::setGadgetItemText(shown, 0, u"", 1);
    EXPECT_EQ(tk::getGadgetItemText(shown, 0, 1), u"");
    tk::setGadgetItemText(shown, 2, u"2", 2);
    EXPECT_EQ(tk::getGadgetItemText(shown, 2, 1), u"a rather long name that is not kept inline.txt");
    EXPECT_EQ(tk::getGadgetItemText(shown, 2, 2), u"2");
    tk::clearGadgetColumn(shown, 1);
    EXPECT_EQ(tk::getGadgetItemText(shown, 2, 1), u"");
    EXPECT_TRUE(drainEvents().empty());
}

TEST_F(ToolkitTest, ColoursReadBackInTheRedLowByteLayout) {
    Gadget editor = tk::editorGadget(0, 0, 100, 100);
    Gadget label = tk::textGadget(0, 0, 100, 20, u"x");
    tk::setGadgetColour(editor, tk::backColour, 0xE1E4FF);
    tk::setGadgetColour(editor, tk::frontColour, 0x9314FF);
    tk::setGadgetColour(label, tk::frontColour, 0xFF0000);
    EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), 0xE1E4FFu);
    EXPECT_EQ(tk::getGadgetColour(editor, tk::frontColour), 0x9314FFu);
    EXPECT_EQ(tk::getGadgetColour(label, tk::frontColour), 0xFF0000u);
}

// ---- Events from user input -----------------------------------------------------------

TEST_F(ToolkitTest, PollReturnsZeroOnAnEmptyQueue) {
    drainEvents();
    EXPECT_EQ(tk::pollEvent(), 0);
    EXPECT_EQ(tk::pollEvent(), 0);
}

TEST_F(ToolkitTest, ChangesMadeByTheProgramQueueNoEvents) {
    Gadget box = tk::checkBoxGadget(0, 0, 80, 20, u"box");
    Gadget toggle = tk::imageButtonGadget(100, 0, 48, 48, 0, tk::toggleFlag);
    Gadget combo = tk::comboBoxGadget(0, 60, 200, 25, tk::comboEditable);
    tk::addGadgetItem(combo, -1, u"one");
    tk::addGadgetItem(combo, -1, u"two");
    Gadget panel = tk::panelGadget(0, 100, 300, 200);
    tk::addGadgetItem(panel, -1, u"A");
    tk::addGadgetItem(panel, -1, u"B");
    tk::closeGadgetList();
    drainEvents();

    tk::setGadgetState(box, 1);
    tk::setGadgetState(toggle, 1);
    tk::setGadgetState(combo, 1);
    tk::setGadgetText(combo, u"typed by the program");
    tk::setGadgetState(panel, 1);
    EXPECT_TRUE(drainEvents().empty());
}

TEST_F(ToolkitTest, ButtonClickQueuesItsGadgetEvent) {
    Gadget button = tk::buttonGadget(10, 10, 100, 30, u"Go");
    tk::testing::clickGadget(button);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, button);
}

TEST_F(ToolkitTest, DisabledButtonReportsNothing) {
    Gadget button = tk::buttonGadget(10, 10, 100, 30, u"Go");
    tk::disableGadget(button, true);
    EXPECT_TRUE(tk::isGadgetDisabled(button));
    tk::testing::clickGadget(button);
    EXPECT_TRUE(gadgetEvents().empty());
}

TEST_F(ToolkitTest, CheckBoxClickTogglesItAndQueuesItsEvent) {
    Gadget box = tk::checkBoxGadget(10, 10, 120, 25, u"Option");
    tk::testing::clickGadget(box);
    EXPECT_EQ(tk::getGadgetState(box), 1);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, box);
    tk::testing::clickGadget(box);
    EXPECT_EQ(tk::getGadgetState(box), 0);
    EXPECT_EQ(gadgetEvents().size(), 1u);
}

TEST_F(ToolkitTest, CheckBoxTakesClicksAnywhereInItsRectangle) {
    Gadget box = tk::checkBoxGadget(10, 10, 600, 30, u"Sound");
    tk::testing::clickGadgetAt(box, 590, 15);
    EXPECT_EQ(tk::getGadgetState(box), 1);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, box);
}

TEST_F(ToolkitTest, ToggleStaysPressedUntilClickedAgain) {
    Gadget toggle = tk::imageButtonGadget(10, 10, 48, 48, tk::catchImage(":/icons/ext_txt.svg", 32),
                                          tk::toggleFlag);
    Gadget plain = tk::imageButtonGadget(70, 10, 48, 48, tk::catchImage(":/icons/add_files.svg", 32));
    tk::testing::clickGadget(toggle);
    EXPECT_EQ(tk::getGadgetState(toggle), 1);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, toggle);
    tk::testing::clickGadget(toggle);
    EXPECT_EQ(tk::getGadgetState(toggle), 0);
    EXPECT_EQ(gadgetEvents().size(), 1u);

    tk::testing::clickGadget(plain);
    EXPECT_EQ(tk::getGadgetState(plain), 0);
    events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, plain);
}

TEST_F(ToolkitTest, ChoosingAComboEntryQueuesAChangeEvent) {
    Gadget combo = tk::comboBoxGadget(10, 10, 200, 25);
    for (const char16_t* item : {u"one", u"two", u"three"}) tk::addGadgetItem(combo, -1, item);
    drainEvents();
    tk::testing::chooseComboItem(combo, 2);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, combo);
    EXPECT_EQ(events[0].type, tk::changeType);
    EXPECT_EQ(tk::getGadgetState(combo), 2);
    EXPECT_EQ(tk::getGadgetText(combo), u"three");
}

TEST_F(ToolkitTest, TypingIntoAnEditableComboQueuesChangeEvents) {
    Gadget combo = tk::comboBoxGadget(10, 10, 200, 25, tk::comboEditable);
    drainEvents();
    tk::testing::typeText(combo, u"ab");
    std::vector<Seen> events = gadgetEvents();
    ASSERT_FALSE(events.empty());
    for (const Seen& e : events) {
        EXPECT_EQ(e.gadget, combo);
        EXPECT_EQ(e.type, tk::changeType);
    }
    EXPECT_EQ(tk::getGadgetText(combo), u"ab");
}

TEST_F(ToolkitTest, ChoosingAFolderInTheTreeQueuesAChangeEvent) {
    Gadget tree = tk::folderTreeGadget(10, 10, 300, 300, u"/", tk::treeFoldersOnly | tk::treeSorted);
    tk::testing::settle();
    drainEvents();
    tk::testing::chooseTreeFolder(tree, u"/usr");
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, tree);
    EXPECT_EQ(events[0].type, tk::changeType);
    EXPECT_EQ(tk::getGadgetText(tree), u"/usr/");
}

TEST_F(ToolkitTest, ClickingATabQueuesAPanelEvent) {
    Gadget panel = tk::panelGadget(10, 10, 400, 300);
    tk::addGadgetItem(panel, -1, u"First");
    tk::addGadgetItem(panel, -1, u"Second");
    tk::closeGadgetList();
    tk::testing::settle();
    drainEvents();
    tk::testing::chooseTab(panel, 1);
    EXPECT_EQ(tk::getGadgetState(panel), 1);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, panel);
    // The tab already shown changes nothing.
    tk::testing::chooseTab(panel, 1);
    EXPECT_TRUE(gadgetEvents().empty());
}

TEST_F(ToolkitTest, OnlyTextsThatAskForClicksReportThem) {
    Gadget clickable = tk::textGadget(10, 10, 200, 27, u"What to search", tk::textCentre | tk::textClicks);
    Gadget plain = tk::textGadget(10, 50, 200, 27, u"In what to search", tk::textCentre);
    tk::testing::clickGadget(clickable);
    std::vector<Seen> events = drainEvents();
    std::vector<Seen> clicks = ofKind(events, tk::gadgetEvent);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].gadget, clickable);
    EXPECT_EQ(ofKind(events, tk::leftButtonDown).size(), 1u);

    tk::testing::clickGadget(plain);
    events = drainEvents();
    EXPECT_TRUE(ofKind(events, tk::gadgetEvent).empty());
    // The press still arrives as a raw left button down.
    EXPECT_EQ(ofKind(events, tk::leftButtonDown).size(), 1u);

    tk::disableGadget(clickable, true);
    tk::testing::clickGadget(clickable);
    EXPECT_TRUE(gadgetEvents().empty());
}

TEST_F(ToolkitTest, RightClickArrivesAsARawEvent) {
    Gadget editor = tk::editorGadget(10, 10, 200, 100);
    tk::testing::rightClickGadget(editor);
    std::vector<Seen> events = drainEvents();
    EXPECT_EQ(ofKind(events, tk::rightButtonDown).size(), 1u);
    EXPECT_TRUE(ofKind(events, tk::gadgetEvent).empty());
}

TEST_F(ToolkitTest, MouseMovesArriveAsRawEventsAndTheCursorFollows) {
    Gadget button = tk::buttonGadget(100, 100, 80, 40, u"b");
    tk::testing::moveMouseOver(button);
    EXPECT_FALSE(ofKind(drainEvents(), tk::mouseMove).empty());
    int x, y, w, h, cx, cy;
    ASSERT_TRUE(tk::gadgetScreenRect(button, x, y, w, h));
    tk::cursorPosition(cx, cy);
    EXPECT_EQ(cx, x + w / 2);
    EXPECT_EQ(cy, y + h / 2);
}

TEST_F(ToolkitTest, CloseBoxQueuesACloseEventAndLeavesTheWindowOpen) {
    tk::testing::clickCloseBox();
    std::vector<Seen> events = drainEvents();
    EXPECT_EQ(ofKind(events, tk::closeEvent).size(), 1u);
    EXPECT_TRUE(tk::windowIsOpen());
    EXPECT_EQ(tk::windowWidth(), 700);
}

TEST_F(ToolkitTest, EscapeIsMenuItemZeroOnceRegistered) {
    tk::testing::pressKey(tk::keyEscape);
    EXPECT_TRUE(ofKind(drainEvents(), tk::menuEvent).empty());

    tk::addKeyboardShortcut(tk::keyEscape, 0);
    tk::testing::pressKey(tk::keyEscape);
    std::vector<Seen> menus = ofKind(drainEvents(), tk::menuEvent);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].menu, 0);
}

TEST_F(ToolkitTest, ChoosingAPopupMenuItemQueuesItsNumber) {
    tk::createPopupMenu();
    tk::addMenuItem(1, u"Paste");
    tk::addMenuSeparator();
    tk::addMenuItem(6, u"Keep in buffer", tk::catchImage(":/icons/menu_keep.svg", 16));
    EXPECT_EQ(tk::menuItemText(6), u"Keep in buffer");
    tk::setMenuItemText(6, u"Im Puffer behalten");
    EXPECT_EQ(tk::menuItemText(6), u"Im Puffer behalten");
    EXPECT_EQ(tk::menuItemText(9), u"");

    tk::showPopupMenu(tk::windowX() + 50, tk::windowY() + 60);
    tk::testing::settle();
    EXPECT_TRUE(tk::testing::popupMenuIsOpen());
    EXPECT_TRUE(ofKind(drainEvents(), tk::menuEvent).empty());
    tk::testing::choosePopupMenuItem(6);
    std::vector<Seen> menus = ofKind(drainEvents(), tk::menuEvent);
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].menu, 6);
    EXPECT_FALSE(tk::testing::popupMenuIsOpen());
}

// ---- Hosting --------------------------------------------------------------------------

class ToolkitHostingTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        button = tk::buttonGadget(5, 88, 676, 30, u"To find and replace");
        int w = tk::gadgetWidth(button);
        box = tk::checkBoxGadget(w - 25, 8, 15, 15, u"");
        tk::hostGadget(box, button);
        tk::testing::settle();
        drainEvents();
    }
    Gadget button = 0;
    Gadget box = 0;
};

TEST_F(ToolkitHostingTest, PositionsAreRelativeToTheButton) {
    EXPECT_EQ(tk::gadgetX(box), 676 - 25);
    EXPECT_EQ(tk::gadgetY(box), 8);
    EXPECT_EQ(tk::gadgetWidth(box), 15);
    EXPECT_EQ(tk::gadgetHeight(box), 15);
    int bx, by, bw, bh, cx, cy, cw, ch;
    ASSERT_TRUE(tk::gadgetScreenRect(button, bx, by, bw, bh));
    ASSERT_TRUE(tk::gadgetScreenRect(box, cx, cy, cw, ch));
    EXPECT_EQ(cx - bx, 651);
    EXPECT_EQ(cy - by, 8);
    // Moving the button carries the box along.
    tk::resizeGadget(button, 20, 100, tk::ignoreValue, tk::ignoreValue);
    ASSERT_TRUE(tk::gadgetScreenRect(box, cx, cy, cw, ch));
    EXPECT_EQ(cx - bx, 651 + 15);
    EXPECT_EQ(cy - by, 8 + 12);
}

TEST_F(ToolkitHostingTest, HostedCheckBoxTogglesWithoutPressingButton) {
    tk::testing::clickGadget(box);
    EXPECT_EQ(tk::getGadgetState(box), 1);
    std::vector<Seen> events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, box);

    // A click on the button's face where the box is drawn is a click on the box too.
    tk::testing::clickGadgetAt(button, 676 - 25 + 7, 8 + 7);
    EXPECT_EQ(tk::getGadgetState(box), 0);
    events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, box);

    // Elsewhere on the face, the button is pressed and the box stays as it is.
    tk::testing::clickGadgetAt(button, 100, 15);
    EXPECT_EQ(tk::getGadgetState(box), 0);
    events = gadgetEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].gadget, button);
}

// ---- Window 0 -------------------------------------------------------------------------

TEST_F(ToolkitTest, WindowSizeIsTheInnerSizeAsOpened) {
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 600);
    EXPECT_EQ(tk::windowTitle(), u"Toolkit");
    tk::setWindowTitle(u"Other title");
    EXPECT_EQ(tk::windowTitle(), u"Other title");
    EXPECT_EQ(tk::windowState(), tk::stateNormal);
}

TEST_F(ToolkitTest, WindowBoundsKeepTheInnerSizeAtLeast700By600) {
    tk::windowBounds(700, 600, -1, -1);
    tk::testing::dragWindowSize(500, 400);
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 600);
    tk::testing::dragWindowSize(650, 900);
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 900);
    tk::testing::dragWindowSize(901, 701);
    EXPECT_EQ(tk::windowWidth(), 901);
    EXPECT_EQ(tk::windowHeight(), 701);
}

TEST_F(ToolkitTest, WindowBoundsWithIgnoreValueKeepTheOtherLimits) {
    tk::windowBounds(700, 600, -1, -1);
    tk::windowBounds(tk::ignoreValue, 650, tk::ignoreValue, tk::ignoreValue);
    tk::testing::dragWindowSize(500, 400);
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 650);
    tk::windowBounds(-1, -1, tk::ignoreValue, tk::ignoreValue);
    tk::testing::dragWindowSize(500, 400);
    EXPECT_EQ(tk::windowWidth(), 500);
    EXPECT_EQ(tk::windowHeight(), 400);
}

TEST_F(ToolkitTest, TheCallbackSeesEverySizeChange) {
    std::vector<int> sizes;
    tk::setWindowCallback([&sizes](int message, int64_t, int64_t) -> int64_t {
        if (message == tk::sizeMessage) sizes.push_back(tk::windowWidth());
        return tk::processDefault;
    });
    tk::testing::dragWindowSize(800, 650);
    tk::testing::dragWindowSize(801, 650);
    tk::setWindowCallback(nullptr);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes.back(), 801);
    EXPECT_NE(std::find(sizes.begin(), sizes.end(), 800), sizes.end());
}

TEST_F(ToolkitTest, AWindowCanBeOpenedAgainAfterShutDown) {
    Gadget before = tk::buttonGadget(0, 0, 10, 10, u"x");
    tk::shutDown();
    EXPECT_FALSE(tk::windowIsOpen());
    EXPECT_FALSE(tk::isGadget(before));
    EXPECT_EQ(tk::pollEvent(), 0);
    ASSERT_TRUE(tk::openWindow(0, 0, 720, 610, u"Again"));
    EXPECT_EQ(tk::windowWidth(), 720);
    EXPECT_EQ(tk::windowHeight(), 610);
    Gadget after = tk::buttonGadget(0, 0, 10, 10, u"y");
    EXPECT_TRUE(tk::isGadget(after));
}

}  // namespace
