// The built main window: where every tab's gadgets are, how the layout follows size
// changes, and the states the gadgets start in.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "tests/support/program_window.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

constexpr uint32_t mistRose = 0xE1E4FF;
constexpr uint32_t deepPink = 0x9314FF;
constexpr uint32_t lightYellow = 0xE0FFFF;
constexpr uint32_t blue = 0xFF0000;

struct Rect {
    int x, y, width, height;
    bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "(" << r.x << ", " << r.y << ", " << r.width << " x " << r.height << ")";
}

Rect rectOf(Gadget g) { return {tk::gadgetX(g), tk::gadgetY(g), tk::gadgetWidth(g), tk::gadgetHeight(g)}; }
int bottom(Gadget g) { return tk::gadgetY(g) + tk::gadgetHeight(g); }
int right(Gadget g) { return tk::gadgetX(g) + tk::gadgetWidth(g); }

// The program's window, built in a fresh temporary working directory. Tests that need
// other stored states set them before they open the window.
class MainWindowTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
    }

    static int pageWidth() { return tk::getGadgetAttribute(app.g.mainPanel, tk::panelItemWidth); }
    static int pageHeight() { return tk::getGadgetAttribute(app.g.mainPanel, tk::panelItemHeight); }

    static void resizeTo(int width, int height) {
        tk::testing::dragWindowSize(width, height);
        tk::testing::settle();
        ASSERT_EQ(tk::windowWidth(), width);
        ASSERT_EQ(tk::windowHeight(), height);
    }

    // Every gadget whose place the layout decides, checked against the page size now.
    static void expectLayout() {
        const Gadgets& g = app.g;
        const int pw = pageWidth();
        const int ph = pageHeight();
        SCOPED_TRACE("page " + std::to_string(pw) + " x " + std::to_string(ph));
        ASSERT_GT(pw, 0);
        ASSERT_GT(ph, 0);

        EXPECT_EQ(rectOf(g.mainPanel), (Rect{7, 7, tk::windowWidth() - 14, tk::windowHeight() - 14}));
        for (Gadget page : {g.workPage, g.polygonPage, g.settingPage}) {
            EXPECT_EQ(rectOf(page), (Rect{0, 0, pw, ph}));
        }
        expectWorkTab(pw, ph);
        expectPolygonTab(pw, ph);
        expectSettingTab(pw, ph);
    }

    static void expectHostedBoxes(Gadget runButton, const char* regex, const char* letterCase,
                                  const char* emptyLine) {
        int w = tk::gadgetWidth(runButton);
        EXPECT_EQ(rectOf(app.options[regex].gadget), (Rect{w - 25, 8, 15, 15})) << regex;
        EXPECT_EQ(rectOf(app.options[letterCase].gadget), (Rect{w - 45, 8, 15, 15})) << letterCase;
        EXPECT_EQ(rectOf(app.options[emptyLine].gadget), (Rect{w - 65, 8, 15, 15})) << emptyLine;
    }

    // A box with its caption, Save, Delete, history combo and an editor from y to 2 pixels
    // above the box's bottom.
    static void expectEditorRow(Gadget box, Gadget label, Gadget save, Gadget remove, Gadget combo,
                                Gadget editor, int pw) {
        int bh = tk::gadgetHeight(box);
        EXPECT_EQ(rectOf(label), (Rect{0, 0, pw, 27}));
        EXPECT_EQ(rectOf(save), (Rect{5, 27, 200, 27}));
        EXPECT_EQ(rectOf(remove), (Rect{210, 27, 200, 27}));
        EXPECT_EQ(rectOf(combo), (Rect{415, 27, pw - 420, 27}));
        EXPECT_EQ(rectOf(editor), (Rect{0, 57, pw, bh - 59}));
        EXPECT_EQ(bottom(editor), bh - 2);
    }

    static void expectWorkTab(int pw, int ph) {
        SCOPED_TRACE("Work tab");
        const Gadgets& g = app.g;
        EXPECT_EQ(rectOf(g.fileList), (Rect{0, 0, pw, ph / 4}));
        EXPECT_EQ(rectOf(g.toolBar), (Rect{0, ph / 4 + 5, pw, 118}));

        int bw = (pw - 207 - 21) / 2;
        EXPECT_EQ(rectOf(g.workCombo), (Rect{5, 0, 207, 30}));
        EXPECT_EQ(rectOf(g.workSave), (Rect{217, 0, bw, 30}));
        EXPECT_EQ(rectOf(g.workDelete), (Rect{217 + bw + 5, 0, bw, 30}));
        EXPECT_EQ(pw - right(g.workDelete), pw % 2 == 0 ? 6 : 7);

        EXPECT_EQ(rectOf(g.addFilesButton), (Rect{5, 35, 48, 48}));
        EXPECT_EQ(rectOf(g.addFoldersButton), (Rect{58, 35, 48, 48}));
        int x = 111;
        for (const char* key : {"txt", "hta", "htm", "htl"}) {
            EXPECT_EQ(rectOf(app.extensions[key].gadget), (Rect{x, 35, 48, 48})) << key;
            x += 53;
        }
        EXPECT_EQ(rectOf(g.txt1), (Rect{323, 35, 115, 48}));
        EXPECT_EQ(rectOf(g.txt2), (Rect{438, 35, 25, 48}));
        EXPECT_EQ(rectOf(g.txt3), (Rect{463, 35, 115, 48}));
        // Preview right of the counters; the undo button ends the run button's row.
        EXPECT_EQ(rectOf(g.previewButton), (Rect{583, 35, pw - 588, 48}));
        EXPECT_EQ(rectOf(g.runButton1), (Rect{5, 88, pw - 175, 30}));
        EXPECT_EQ(rectOf(g.undoButton), (Rect{pw - 165, 88, 160, 30}));
        expectHostedBoxes(g.runButton1, "reg1", "cas1", "spa1");

        int y = bottom(g.toolBar) + 5;
        int bh = (ph - y - 5) / 2;
        EXPECT_EQ(rectOf(g.searchBox1), (Rect{0, y, pw, bh}));
        EXPECT_EQ(rectOf(g.replaceBox1), (Rect{0, y + bh + 5, pw, bh}));
        expectEditorRow(g.searchBox1, g.searchLabel1, g.searchSave1, g.searchDelete1, g.searchCombo1,
                        g.searchEditor1, pw);
        expectEditorRow(g.replaceBox1, g.replaceLabel1, g.replaceSave1, g.replaceDelete1,
                        g.replaceCombo1, g.replaceEditor1, pw);
    }

    static void expectPolygonTab(int pw, int ph) {
        SCOPED_TRACE("Polygon tab");
        const Gadgets& g = app.g;
        EXPECT_EQ(rectOf(g.runButton2), (Rect{5, 5, pw - 10, 30}));
        expectHostedBoxes(g.runButton2, "reg2", "cas2", "spa2");
        int ch = (ph - 30 - 4 * 5) / 3;
        EXPECT_EQ(rectOf(g.sampleBox), (Rect{0, 40, pw, ch}));
        EXPECT_EQ(rectOf(g.searchBox2), (Rect{0, 40 + ch + 5, pw, ch}));
        EXPECT_EQ(rectOf(g.replaceBox2), (Rect{0, 40 + 2 * (ch + 5), pw, ch}));
        EXPECT_EQ(rectOf(g.sampleLabel), (Rect{0, 0, pw, 27}));
        EXPECT_EQ(rectOf(g.edi4), (Rect{0, 27, pw, ch - 29}));
        EXPECT_EQ(bottom(g.edi4), ch - 2);
        expectEditorRow(g.searchBox2, g.searchLabel2, g.searchSave2, g.searchDelete2, g.searchCombo2,
                        g.edi5, pw);
        expectEditorRow(g.replaceBox2, g.replaceLabel2, g.replaceSave2, g.replaceDelete2,
                        g.replaceCombo2, g.edi6, pw);
    }

    static void expectSettingTab(int pw, int ph) {
        SCOPED_TRACE("Setting tab");
        const Gadgets& g = app.g;
        EXPECT_EQ(rectOf(g.languageCombo), (Rect{7, 7, pw - 14, 30}));
        int y = 44;
        for (const char* key : {"ton", "tip", "esc", "hek", "rez", "lin"}) {
            EXPECT_EQ(rectOf(app.options[key].gadget), (Rect{7, y, pw - 14, 30})) << key;
            y += 30;
        }
        // The code-page caption and selector under the switches; the tree gives up the room.
        EXPECT_EQ(rectOf(g.codePageLabel), (Rect{7, 224, pw - 14, 22}));
        EXPECT_EQ(rectOf(g.codePageCombo), (Rect{7, 246, pw - 14, 30}));
        EXPECT_EQ(rectOf(g.backupPathText), (Rect{7, 281, pw - 14, 22}));
        EXPECT_EQ(rectOf(g.backupTree), (Rect{7, 303, pw - 14, ph - 310}));
        EXPECT_EQ(bottom(g.backupTree), ph - 7);
    }
};

// ---- Geometry --------------------------------------------------------------------------

TEST_F(MainWindowTest, At700By600EveryGadgetIsAtItsPlace) {
    openWindowOnly();
    ASSERT_EQ(tk::windowWidth(), 700);
    ASSERT_EQ(tk::windowHeight(), 600);
    EXPECT_EQ(rectOf(app.g.mainPanel), (Rect{7, 7, 686, 586}));
    expectLayout();
}

TEST_F(MainWindowTest, TheResultBoxAndTheServiceGadgetsAreWhereTheyWereBuilt) {
    openWindowOnly();
    int pw = pageWidth();
    int ph = pageHeight();
    EXPECT_EQ(rectOf(app.g.resultBox), (Rect{pw / 2 - 250, ph / 2 - 50, 500, 100}));
    EXPECT_TRUE(tk::isGadgetHidden(app.g.resultBox));
    EXPECT_EQ(rectOf(app.g.resultText), (Rect{7, 7, 486, 86}));
    EXPECT_EQ(rectOf(app.g.focusSink), (Rect{0, 0, 0, 0}));
    EXPECT_EQ(rectOf(app.g.scratchEditor), (Rect{0, 0, 0, 0}));
    for (Gadget buffer : app.g.editorBuffer) EXPECT_EQ(rectOf(buffer), (Rect{0, 0, 0, 0}));
}

TEST_F(MainWindowTest, HostedCheckBoxesAreDrawnInsideTheirRunButton) {
    openWindowOnly();
    tk::setGadgetState(app.g.mainPanel, 0);
    tk::testing::settle();
    int bx, by, bw, bh;
    ASSERT_TRUE(tk::gadgetScreenRect(app.g.runButton1, bx, by, bw, bh));
    const struct { const char* key; int fromRight; } boxes[] = {{"reg1", 25}, {"cas1", 45}, {"spa1", 65}};
    for (const auto& box : boxes) {
        int x, y, w, h;
        ASSERT_TRUE(tk::gadgetScreenRect(app.options[box.key].gadget, x, y, w, h));
        EXPECT_EQ(x, bx + bw - box.fromRight) << box.key;
        EXPECT_EQ(y, by + 8) << box.key;
    }
}

TEST_F(MainWindowTest, ALargerWindowIsLaidOutForEvenAndOddPageWidths) {
    openWindowOnly();
    std::set<int> parities;
    for (int width : {900, 901, 1100, 1101}) {
        SCOPED_TRACE("window width " + std::to_string(width));
        resizeTo(width, 780);
        parities.insert(pageWidth() % 2);
        expectLayout();
    }
    EXPECT_EQ(parities.size(), 2u) << "both even and odd page widths were laid out";
}

TEST_F(MainWindowTest, GrowingOnlyTheHeightKeepsTheWidthsAndMovesTheBoxes) {
    openWindowOnly();
    int pw = pageWidth();
    Rect toolBar = rectOf(app.g.toolBar);
    resizeTo(700, 871);
    EXPECT_EQ(pageWidth(), pw);
    EXPECT_GT(tk::gadgetY(app.g.toolBar), toolBar.y);
    expectLayout();
}

TEST_F(MainWindowTest, ShrinkingBackRestoresTheFirstLayout) {
    openWindowOnly();
    Rect editor = rectOf(app.g.searchEditor1);
    Rect tree = rectOf(app.g.backupTree);
    resizeTo(1000, 850);
    resizeTo(700, 600);
    expectLayout();
    EXPECT_EQ(rectOf(app.g.searchEditor1), editor);
    EXPECT_EQ(rectOf(app.g.backupTree), tree);
}

TEST_F(MainWindowTest, MaximiseAndRestoreKeepTheLayout) {
    openWindowOnly();
    Rect firstEditor = rectOf(app.g.edi5);
    tk::setWindowState(tk::stateMaximised);
    tk::testing::settle();
    EXPECT_EQ(tk::windowState(), tk::stateMaximised);
    // The screen is larger than the restored window, so maximising did resize it.
    EXPECT_GT(tk::windowWidth() + tk::windowHeight(), 700 + 600);
    {
        SCOPED_TRACE("maximised");
        expectLayout();
    }
    tk::setWindowState(tk::stateNormal);
    tk::testing::settle();
    EXPECT_EQ(tk::windowState(), tk::stateNormal);
    EXPECT_EQ(tk::windowWidth(), 700);
    EXPECT_EQ(tk::windowHeight(), 600);
    {
        SCOPED_TRACE("restored");
        expectLayout();
    }
    EXPECT_EQ(rectOf(app.g.edi5), firstEditor);
}

TEST_F(MainWindowTest, TheResultBoxDoesNotMoveWhenTheWindowGrows) {
    openWindowOnly();
    Rect built = rectOf(app.g.resultBox);
    resizeTo(1200, 900);
    EXPECT_EQ(rectOf(app.g.resultBox), built);
    tk::setWindowState(tk::stateMaximised);
    tk::testing::settle();
    EXPECT_EQ(rectOf(app.g.resultBox), built);
}

TEST_F(MainWindowTest, TheFileListLeavesRoomForAVerticalScrollBar) {
    openWindowOnly();
    int pathWidth = tk::getGadgetItemAttribute(app.g.fileList, 0, tk::columnWidth, 1);
    EXPECT_EQ(tk::getGadgetItemAttribute(app.g.fileList, 0, tk::columnWidth, 0), 50);
    EXPECT_EQ(tk::getGadgetItemAttribute(app.g.fileList, 0, tk::columnWidth, 2), 112);  // the preview's counts
    EXPECT_GT(app.scrollBarAllowance, 0);
    EXPECT_EQ(pathWidth, pageWidth() - app.scrollBarAllowance - 55 - 112);
    resizeTo(950, 700);
    EXPECT_EQ(tk::getGadgetItemAttribute(app.g.fileList, 0, tk::columnWidth, 1),
              pageWidth() - app.scrollBarAllowance - 55 - 112);
}

// Every text the program colours reads on its background (a contrast ratio of 4.5 or
// more) under the platform's light palette and under a dark one, also when the desktop
// switches while the window is open.
TEST_F(MainWindowTest, EveryColouredTextReadsUnderALightAndADarkPalette) {
    openWindowOnly();
    const Gadgets& g = app.g;
    tk::addGadgetItem(g.fileList, -1, u"\nfailed.htm");
    tk::setGadgetItemColour(g.fileList, 0, tk::frontColour, colour("crim"));
    for (bool dark : {false, true, false}) {
        tk::testing::useDarkPalette(dark);
        for (bool regex : {false, true}) {
            for (const char* key : {"reg1", "reg2"}) {
                tk::setGadgetState(app.options[key].gadget, regex ? 1 : 0);
                applyRegexLook(app.options[key].gadget, key[3] == '1' ? g.searchEditor1 : g.edi5,
                               key[3] == '1' ? g.replaceEditor1 : g.edi6);
            }
            for (int changed : {0, 2}) {
                showRunResult(changed, 1);
                tk::testing::settle();
                SCOPED_TRACE(std::string(dark ? "dark" : "light") + (regex ? ", regex look" : "") +
                             (changed ? ", success box" : ", failure box"));
                for (Gadget gadget : {g.txt1, g.txt2, g.txt3, g.backupPathText, g.edi4, g.edi5, g.edi6,
                                      g.searchEditor1, g.replaceEditor1, g.resultText, g.codePageLabel})
                    EXPECT_GE(tk::testing::shownContrast(gadget), 4.5) << "gadget " << gadget;
                EXPECT_GE(tk::testing::shownRowContrast(g.fileList, 0), 4.5);
            }
        }
    }
    // The program's own colours are what it asks for, whatever is painted.
    EXPECT_EQ(tk::getGadgetItemColour(g.fileList, 0, tk::frontColour), colour("crim"));
    EXPECT_EQ(tk::getGadgetColour(g.resultText, tk::frontColour), colour("Sgreen"));
}

// ---- What the gadgets show -------------------------------------------------------------

TEST_F(MainWindowTest, TabsCountersAndCaptionsShowTheBuiltInTexts) {
    openWindowOnly();
    EXPECT_EQ(tk::countGadgetItems(app.g.mainPanel), 3);
    EXPECT_EQ(tk::getGadgetItemText(app.g.mainPanel, 0), u"Work ");
    EXPECT_EQ(tk::getGadgetItemText(app.g.mainPanel, 1), u"Polygon ");
    EXPECT_EQ(tk::getGadgetItemText(app.g.mainPanel, 2), u"Setting ");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"0");
    EXPECT_EQ(tk::getGadgetText(app.g.txt2), u"/");
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
    for (Gadget counter : {app.g.txt1, app.g.txt2, app.g.txt3}) {
        EXPECT_EQ(tk::getGadgetColour(counter, tk::frontColour), blue);
    }
    EXPECT_EQ(tk::getGadgetColour(app.g.backupPathText, tk::frontColour), blue);
    EXPECT_EQ(tk::getGadgetText(app.g.runButton1), u"To find and replace");
    EXPECT_EQ(tk::getGadgetText(app.g.runButton2), u"To find and replace");
    EXPECT_EQ(tk::getGadgetText(app.g.searchLabel1), u"What to search");
    EXPECT_EQ(tk::getGadgetText(app.g.replaceLabel2), u"Than to replace");
    EXPECT_EQ(tk::getGadgetText(app.g.sampleLabel), u"In what to search");
    EXPECT_EQ(tk::getGadgetText(app.options["esc"].gadget), u"Exit on ESC");
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"");
    EXPECT_EQ(tk::countGadgetItems(app.g.languageCombo), 1);
    EXPECT_EQ(tk::getGadgetText(app.g.languageCombo), u"Embedded");
}

TEST_F(MainWindowTest, TheNamedGadgetsAreTheCountersAndThePolygonEditors) {
    openWindowOnly();
    EXPECT_EQ(tk::gadgetByName("txt1"), app.g.txt1);
    EXPECT_EQ(tk::gadgetByName("txt3"), app.g.txt3);
    EXPECT_EQ(tk::gadgetByName("edi4"), app.g.edi4);
    EXPECT_EQ(tk::gadgetByName("edi6"), app.g.edi6);
    for (const char* name : {"txt1", "txt2", "txt3", "edi4", "edi5", "edi6"}) {
        EXPECT_TRUE(tk::isGadget(tk::gadgetByName(name))) << name;
    }
}

TEST_F(MainWindowTest, ThePopupMenuHasTheSevenCommands) {
    openWindowOnly();
    const char16_t* texts[] = {u"To clear And Insert", u"Paste", u"Select All", u"Copy",
                               u"Copy All", u"Keep in buffer", u"Insert from buffer"};
    for (int item = 1; item <= 7; ++item) EXPECT_EQ(tk::menuItemText(item), texts[item - 1]) << item;
}

TEST_F(MainWindowTest, ByDefaultTheEditorsHaveTheirPlainLook) {
    openWindowOnly();
    for (Gadget editor : {app.g.searchEditor1, app.g.replaceEditor1}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), tk::systemWindowColour());
    }
    for (Gadget editor : {app.g.edi4, app.g.edi5, app.g.edi6}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), lightYellow);
    }
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.backupTree));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.backupPathText));
}

// ---- Initial states from stored settings ------------------------------------------------

TEST_F(MainWindowTest, UncheckedBackupDisablesTheTreeAndThePathText) {
    app.options["rez"].state = 0;
    openWindowOnly();
    EXPECT_EQ(tk::getGadgetState(app.options["rez"].gadget), 0);
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.backupTree));
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.backupPathText));
    EXPECT_FALSE(tk::isGadgetDisabled(app.options["rez"].gadget));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.languageCombo));
}

TEST_F(MainWindowTest, CheckedReg1GivesTheWorkEditorsTheRegexLook) {
    app.options["reg1"].state = 1;
    openWindowOnly();
    EXPECT_EQ(tk::getGadgetState(app.options["reg1"].gadget), 1);
    for (Gadget editor : {app.g.searchEditor1, app.g.replaceEditor1}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), mistRose);
        EXPECT_EQ(tk::getGadgetColour(editor, tk::frontColour), deepPink);
    }
    // The Polygon row keeps its own look.
    for (Gadget editor : {app.g.edi4, app.g.edi5, app.g.edi6}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), lightYellow);
    }
}

TEST_F(MainWindowTest, CheckedReg2GivesOnlyTheSearchAndReplacementEditorsTheRegexLook) {
    app.options["reg2"].state = 1;
    openWindowOnly();
    for (Gadget editor : {app.g.edi5, app.g.edi6}) {
        EXPECT_EQ(tk::getGadgetColour(editor, tk::backColour), mistRose);
        EXPECT_EQ(tk::getGadgetColour(editor, tk::frontColour), deepPink);
    }
    EXPECT_EQ(tk::getGadgetColour(app.g.edi4, tk::backColour), lightYellow);
    EXPECT_EQ(tk::getGadgetColour(app.g.searchEditor1, tk::backColour), tk::systemWindowColour());
}

TEST_F(MainWindowTest, EveryCheckBoxShowsItsStoredOption) {
    for (auto& [key, option] : app.options) option.state = option.state == 1 ? 0 : 1;
    openWindowOnly();
    for (auto& [key, option] : app.options) {
        EXPECT_EQ(tk::getGadgetState(option.gadget), option.state) << key;
    }
}

TEST_F(MainWindowTest, TogglesArePressedAsTheirExtensionsWereStored) {
    app.extensions["txt"].state = 1;
    app.extensions["htm"].state = 1;
    app.extensions["htl"].state = 0;
    openWindowOnly();
    EXPECT_EQ(tk::getGadgetState(app.extensions["txt"].gadget), 1);
    EXPECT_EQ(tk::getGadgetState(app.extensions["hta"].gadget), 0);
    EXPECT_EQ(tk::getGadgetState(app.extensions["htm"].gadget), 1);
    EXPECT_EQ(tk::getGadgetState(app.extensions["htl"].gadget), 0);
}

TEST_F(MainWindowTest, TheStoredTabIsShown) {
    for (int tab : {0, 1, 2}) {
        SCOPED_TRACE(tab);
        initialiseAppState(workingDirectory(), 1280, 1024);
        app.activePanel = tab;
        openWindowOnly();
        EXPECT_EQ(tk::getGadgetState(app.g.mainPanel), tab);
        closeProgramWindow();
        // The next start reads the tab saved at exit; start from a clean folder.
        fs::remove(folder_ / "tuning.ini");
    }
}

TEST_F(MainWindowTest, EveryOptionAndToggleHasAGadgetOfItsOwn) {
    openWindowOnly();
    std::set<Gadget> seen;
    for (auto& [key, option] : app.options) {
        EXPECT_TRUE(tk::isGadget(option.gadget)) << key;
        EXPECT_TRUE(seen.insert(option.gadget).second) << key;
    }
    for (auto& [key, extension] : app.extensions) {
        EXPECT_TRUE(tk::isGadget(extension.gadget)) << key;
        EXPECT_TRUE(seen.insert(extension.gadget).second) << key;
    }
}

// The window carries the program's icon, from the picture the package ships, at the sizes
// desktops ask for.
TEST_F(MainWindowTest, TheWindowCarriesTheProgramsIcon) {
    openWindow(workTab);
    const std::vector<int> sizes = tk::testing::windowIconSizes();
    for (const int size : {16, 32, 48, 256}) EXPECT_NE(std::find(sizes.begin(), sizes.end(), size), sizes.end()) << size;
}

// A ticked row's check mark stands out from its row (a contrast of 3 or more) under a
// light and a dark palette.
TEST_F(MainWindowTest, CheckMarksStayVisibleUnderALightAndADarkPalette) {
    openWindowOnly();
    const Gadgets& g = app.g;
    tk::addGadgetItem(g.fileList, -1, u"\nchanged.htm");
    tk::setGadgetItemState(g.fileList, 0, 1);
    for (bool dark : {false, true}) {
        tk::testing::useDarkPalette(dark);
        tk::testing::settle();
        EXPECT_GE(tk::testing::shownCheckMarkContrast(g.fileList, 0), 3.0) << (dark ? "dark" : "light");
        // An unticked row's box is not a mark: the measure tells them apart.
        tk::setGadgetItemState(g.fileList, 0, 0);
        tk::testing::settle();
        EXPECT_LT(tk::testing::shownCheckMarkContrast(g.fileList, 0), 3.0) << (dark ? "dark" : "light");
        tk::setGadgetItemState(g.fileList, 0, 1);
    }
    tk::testing::useDarkPalette(false);
}

}  // namespace
