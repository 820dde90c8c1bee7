// The editors' popup menu and its commands, the history combos, the extension toggles and
// the backup gadgets, driven as a user drives them: real clicks and menu choices on the
// real window, the real clipboard, and the event loop's rules.

#include <gtest/gtest.h>

#include "tests/support/program_window.h"

namespace {

using namespace testing_support;
using tk::testing::choosePopupMenuItem;
using tk::testing::clickGadget;
using tk::testing::popupMenuIsOpen;
using tk::testing::rightClickGadget;

enum MenuItem { clearInsertItem = 1, pasteItem, selectAllItem, copyItem, copyAllItem, keepItem, insertItem };

// A click on a check box's square, where a person clicks it.
void clickCheckBox(Gadget checkBox) { tk::testing::clickGadgetAt(checkBox, 7, tk::gadgetHeight(checkBox) / 2); }

class EditorCommands : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialiseForDesktop();
    }

    void showTab(int tab) {
        tk::setGadgetState(app.g.mainPanel, tab);
        processEvents();
    }

    // Opens the popup menu on an editor with a right click and chooses one of its items.
    void useMenu(Gadget editor, int item) {
        rightClickGadget(editor);
        processEvents();
        ASSERT_TRUE(popupMenuIsOpen());
        ASSERT_EQ(app.g.popupEditor, editor);
        choosePopupMenuItem(item);
        processEvents();
    }

    void select(Gadget editor, int start, int end) { tk::setEditorSelection(editor, start, end); }
};

// ---- Copy, Copy All ------------------------------------------------------------------

TEST_F(EditorCommands, CopyPutsTheSelectedTextOnTheClipboardWhicheverWayItWasSelected) {
    openWindow(workTab);
    const Gadget editor = app.g.searchEditor1;
    tk::setGadgetText(editor, u"alpha beta gamma");

    select(editor, 6, 10);
    useMenu(editor, copyItem);
    EXPECT_EQ(tk::getClipboardText(), u"beta");

    tk::setClipboardText(u"something else");
    select(editor, 10, 6);
    useMenu(editor, copyItem);
    EXPECT_EQ(tk::getClipboardText(), u"beta");
    // Copy leaves the selection as it was.
    int start, end;
    tk::getEditorSelection(editor, start, end);
    EXPECT_EQ(start, 10);
    EXPECT_EQ(end, 6);
}

// Linux programs take LF line ends from the clipboard.
TEST_F(EditorCommands, CopyOfSeveralLinesGivesTheLinesWithLf) {
    openWindow(polygonTab);
    tk::setGadgetText(app.g.edi4, u"one\r\ntwo\r\nthree");
    select(app.g.edi4, 0, 6);  // the editor counts a line break as one character
    useMenu(app.g.edi4, copyItem);
    EXPECT_EQ(tk::getClipboardText(), u"one\ntw");
}

TEST_F(EditorCommands, CopyWithNothingSelectedLeavesTheClipboardAsItWas) {
    openWindow(workTab);
    tk::setGadgetText(app.g.replaceEditor1, u"some text");
    select(app.g.replaceEditor1, 4, 4);
    tk::setClipboardText(u"kept");
    useMenu(app.g.replaceEditor1, copyItem);
    EXPECT_EQ(tk::getClipboardText(), u"kept");
}

TEST_F(EditorCommands, CopyAllCopiesTheWholeTextAndLeavesItSelected) {
    openWindow(polygonTab);
    const Gadget editor = app.g.edi6;
    tk::setGadgetText(editor, u"first line\r\nsecond line");
    select(editor, 2, 2);
    useMenu(editor, copyAllItem);
    EXPECT_EQ(tk::getClipboardText(), u"first line\nsecond line");
    EXPECT_EQ(tk::editorSelectedText(editor), u"first line\r\nsecond line");
    EXPECT_EQ(tk::getActiveGadget(), editor);
}

TEST_F(EditorCommands, CopyAllOnAnEmptyEditorLeavesTheClipboardAsItWas) {
    openWindow(workTab);
    tk::setGadgetText(app.g.searchEditor1, u"");
    tk::setClipboardText(u"kept");
    useMenu(app.g.searchEditor1, copyAllItem);
    EXPECT_EQ(tk::getClipboardText(), u"kept");
}

// ---- Select all, Paste, Clear and insert --------------------------------------------------

TEST_F(EditorCommands, SelectAllSelectsTheWholeTextAndFocusesTheEditor) {
    openWindow(polygonTab);
    const Gadget editor = app.g.edi5;
    tk::setGadgetText(editor, u"abc\r\ndef");
    select(editor, 1, 1);
    tk::setActiveGadget(app.g.edi4);
    useMenu(editor, selectAllItem);
    EXPECT_EQ(tk::editorSelectedText(editor), u"abc\r\ndef");
    int start, end;
    tk::getEditorSelection(editor, start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 7);  // the editor counts a line break as one character
    EXPECT_EQ(tk::getActiveGadget(), editor);
}

TEST_F(EditorCommands, PasteReplacesTheSelectionWithTheClipboardText) {
    openWindow(workTab);
    const Gadget editor = app.g.searchEditor1;
    tk::setGadgetText(editor, u"alpha beta gamma");
    select(editor, 10, 6);
    tk::setClipboardText(u"one\r\ntwo");
    useMenu(editor, pasteItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"alpha one\r\ntwo gamma");
    EXPECT_EQ(tk::getActiveGadget(), editor);
    EXPECT_EQ(tk::getClipboardText(), u"one\ntwo");
}

TEST_F(EditorCommands, PasteWithoutSelectionInsertsAtTheCaret) {
    openWindow(workTab);
    const Gadget editor = app.g.replaceEditor1;
    tk::setGadgetText(editor, u"ac");
    select(editor, 1, 1);
    tk::setClipboardText(u"b");
    useMenu(editor, pasteItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"abc");
}

TEST_F(EditorCommands, PasteWithAnEmptyClipboardRemovesTheSelection) {
    openWindow(workTab);
    const Gadget editor = app.g.searchEditor1;
    tk::setGadgetText(editor, u"alpha beta gamma");
    select(editor, 5, 10);
    tk::setClipboardText(u"");
    useMenu(editor, pasteItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"alpha gamma");
}

TEST_F(EditorCommands, ClearAndInsertReplacesTheWholeTextWithTheClipboardText) {
    openWindow(polygonTab);
    const Gadget editor = app.g.edi4;
    tk::setGadgetText(editor, u"old\r\ntext");
    select(editor, 1, 2);
    tk::setClipboardText(u"new");
    useMenu(editor, clearInsertItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"new");
    EXPECT_EQ(tk::getActiveGadget(), editor);

    tk::setClipboardText(u"");
    useMenu(editor, clearInsertItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"");
}

// ---- The per-editor buffers ----------------------------------------------------------------

TEST_F(EditorCommands, EachEditorKeepsAndGivesBackItsOwnBuffer) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    const Gadget editors[5] = {g.searchEditor1, g.replaceEditor1, g.edi4, g.edi5, g.edi6};
    const Text texts[5] = {u"search one", u"replace one", u"sample\r\ntext", u"search two", u"replace two"};
    tk::setClipboardText(u"clipboard");

    for (int i = 0; i < 5; ++i) {
        showTab(i < 2 ? workTab : polygonTab);
        tk::setGadgetText(editors[i], texts[i]);
        useMenu(editors[i], keepItem);
        EXPECT_EQ(tk::getGadgetText(g.editorBuffer[i]), texts[i]) << "editor " << i;
    }
    for (int i = 0; i < 5; ++i) tk::setGadgetText(editors[i], u"overwritten");
    for (int i = 0; i < 5; ++i) {
        showTab(i < 2 ? workTab : polygonTab);
        useMenu(editors[i], insertItem);
        EXPECT_EQ(tk::getGadgetText(editors[i]), texts[i]) << "editor " << i;
    }
    EXPECT_EQ(tk::getClipboardText(), u"clipboard");
}

TEST_F(EditorCommands, InsertFromBufferGivesTheEditorsOwnBufferNotTheLastKeptText) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    tk::setGadgetText(g.replaceEditor1, u"replace kept");
    useMenu(g.replaceEditor1, keepItem);
    tk::setGadgetText(g.searchEditor1, u"search kept");
    useMenu(g.searchEditor1, keepItem);

    tk::setGadgetText(g.replaceEditor1, u"changed");
    useMenu(g.replaceEditor1, insertItem);
    EXPECT_EQ(tk::getGadgetText(g.replaceEditor1), u"replace kept");
}

TEST_F(EditorCommands, InsertFromBufferBeforeAnyKeepEmptiesTheEditor) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    tk::setGadgetText(g.searchEditor1, u"search kept");
    useMenu(g.searchEditor1, keepItem);
    tk::setGadgetText(g.replaceEditor1, u"some text");
    useMenu(g.replaceEditor1, insertItem);
    EXPECT_EQ(tk::getGadgetText(g.replaceEditor1), u"");
}

TEST_F(EditorCommands, KeepingAgainReplacesWhatTheBufferHeld) {
    openWindow(polygonTab);
    const Gadget editor = app.g.edi5;
    tk::setGadgetText(editor, u"first");
    useMenu(editor, keepItem);
    tk::setGadgetText(editor, u"second");
    useMenu(editor, keepItem);
    tk::setGadgetText(editor, u"");
    useMenu(editor, insertItem);
    EXPECT_EQ(tk::getGadgetText(editor), u"second");
}

// ---- The popup menu and the right-click rule --------------------------------------------------

TEST_F(EditorCommands, PopupMenuOpensOnePixelUpAndLeftOfTheCursor) {
    // The sample editor is high enough on the screen for the whole menu to fit below the
    // cursor, so the platform has no reason to move it.
    openWindow(polygonTab);
    rightClickGadget(app.g.edi4);
    int cursorX, cursorY;
    tk::cursorPosition(cursorX, cursorY);
    processEvents();
    ASSERT_TRUE(popupMenuIsOpen());
    int menuX, menuY;
    tk::testing::popupMenuPosition(menuX, menuY);
    EXPECT_EQ(menuX, cursorX - 1);
    EXPECT_EQ(menuY, cursorY - 1);
    EXPECT_EQ(app.g.popupEditor, app.g.edi4);
    tk::testing::closePopupMenu();
}

TEST_F(EditorCommands, RightClickOpensTheMenuOnlyOnTheEditorsOfTheShownTab) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    for (Gadget editor : {g.searchEditor1, g.replaceEditor1}) {
        rightClickGadget(editor);
        processEvents();
        EXPECT_TRUE(popupMenuIsOpen());
        EXPECT_EQ(g.popupEditor, editor);
        tk::testing::closePopupMenu();
    }
    rightClickGadget(g.fileList);
    processEvents();
    EXPECT_FALSE(popupMenuIsOpen());
    EXPECT_EQ(g.popupEditor, g.replaceEditor1);

    showTab(polygonTab);
    for (Gadget editor : {g.edi4, g.edi5, g.edi6}) {
        rightClickGadget(editor);
        processEvents();
        EXPECT_TRUE(popupMenuIsOpen());
        EXPECT_EQ(g.popupEditor, editor);
        tk::testing::closePopupMenu();
    }
    rightClickGadget(g.runButton2);
    processEvents();
    EXPECT_FALSE(popupMenuIsOpen());
    EXPECT_EQ(g.popupEditor, g.edi6);
}

TEST_F(EditorCommands, RightClickOnTheSettingTabOpensNoMenuEvenOverAnEditorsPlace) {
    openWindow(settingTab);
    const Gadgets& g = app.g;
    // The tree lies where the Work tab's editors are: the rule must look at the tab shown.
    int editorX, editorY, editorWidth, editorHeight, treeX, treeY, treeWidth, treeHeight;
    ASSERT_TRUE(tk::gadgetScreenRect(g.replaceEditor1, editorX, editorY, editorWidth, editorHeight));
    ASSERT_TRUE(tk::gadgetScreenRect(g.backupTree, treeX, treeY, treeWidth, treeHeight));
    tk::testing::rightClickGadgetAt(g.backupTree, treeWidth / 2, editorY + editorHeight / 2 - treeY);
    ASSERT_TRUE(cursorInsideGadget(g.searchEditor1) || cursorInsideGadget(g.replaceEditor1) ||
                cursorInsideGadget(g.edi5) || cursorInsideGadget(g.edi6));
    processEvents();
    EXPECT_FALSE(popupMenuIsOpen());
    EXPECT_EQ(g.popupEditor, 0);
}

TEST_F(EditorCommands, CommandsActOnTheEditorTheMenuWasOpenedOn) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    tk::setGadgetText(g.searchEditor1, u"search");
    tk::setGadgetText(g.replaceEditor1, u"replace");
    rightClickGadget(g.replaceEditor1);
    processEvents();
    tk::setActiveGadget(g.searchEditor1);
    choosePopupMenuItem(copyAllItem);
    processEvents();
    EXPECT_EQ(tk::getClipboardText(), u"replace");
    EXPECT_EQ(tk::getActiveGadget(), g.replaceEditor1);
}

TEST_F(EditorCommands, PopupMenuBeepsOnlyWhileSoundIsChecked) {
    app.options["ton"].state = 0;
    openWindow(workTab);
    const Gadget sound = app.options["ton"].gadget;
    ASSERT_EQ(tk::getGadgetState(sound), 0);

    int before = allVoiceStarts();
    rightClickGadget(app.g.searchEditor1);
    processEvents();
    EXPECT_TRUE(popupMenuIsOpen());
    EXPECT_EQ(allVoiceStarts(), before);
    tk::testing::closePopupMenu();

    // The live check box counts, not the stored option.
    showTab(settingTab);
    clickCheckBox(sound);
    processEvents();
    ASSERT_EQ(tk::getGadgetState(sound), 1);
    EXPECT_EQ(app.options["ton"].state, 0);
    showTab(workTab);
    before = allVoiceStarts();
    rightClickGadget(app.g.searchEditor1);
    processEvents();
    EXPECT_TRUE(popupMenuIsOpen());
    EXPECT_EQ(allVoiceStarts(), before + 1);
    tk::testing::closePopupMenu();
}

// ---- History entries ------------------------------------------------------------------------

TEST_F(EditorCommands, ChoosingAHistoryEntryReplacesTheWholeTextOfItsEditor) {
    openWindow(workTab);
    const Gadgets& g = app.g;
    const struct { Gadget combo; Gadget editor; int tab; } pairs[] = {
        {g.searchCombo1, g.searchEditor1, workTab},
        {g.replaceCombo1, g.replaceEditor1, workTab},
        {g.searchCombo2, g.edi5, polygonTab},
        {g.replaceCombo2, g.edi6, polygonTab},
    };
    for (const auto& pair : pairs) {
        showTab(pair.tab);
        tk::addGadgetItem(pair.combo, -1, u"first entry");
        tk::addGadgetItem(pair.combo, -1, u"second entry");
        tk::setGadgetText(pair.editor, u"typed\r\nbefore");
        tk::testing::chooseComboItem(pair.combo, tk::countGadgetItems(pair.combo) - 1);
        processEvents();
        EXPECT_EQ(tk::getGadgetText(pair.editor), u"second entry");
    }
    // Every editor got only its own combo's entry.
    EXPECT_EQ(tk::getGadgetText(g.edi4), u"");
}

// ---- Extension toggles ---------------------------------------------------------------------------

TEST_F(EditorCommands, TheOnlyPressedExtensionToggleCannotBeReleased) {
    openWindow(workTab);
    const Gadget html = app.extensions["htl"].gadget;
    ASSERT_EQ(tk::getGadgetState(html), 1);
    for (const char* key : {"txt", "hta", "htm"}) ASSERT_EQ(tk::getGadgetState(app.extensions[key].gadget), 0);

    clickGadget(html);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(html), 1);
}

TEST_F(EditorCommands, OneOfTwoPressedExtensionTogglesCanBeReleased) {
    openWindow(workTab);
    const Gadget html = app.extensions["htl"].gadget;
    const Gadget text = app.extensions["txt"].gadget;
    EXPECT_EQ(tk::getGadgetAttribute(text, tk::pressedImage), 0);

    clickGadget(text);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(text), 1);
    EXPECT_NE(tk::getGadgetAttribute(text, tk::pressedImage), 0);

    clickGadget(html);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(html), 0);
    EXPECT_EQ(tk::getGadgetState(text), 1);

    clickGadget(text);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(text), 1);
    // The stored states are left for the settings to read from the toggles.
    EXPECT_EQ(app.extensions["txt"].state, 0);
    EXPECT_EQ(app.extensions["htl"].state, 1);
}

// ---- Backup gadgets ----------------------------------------------------------------------------

TEST_F(EditorCommands, UncheckingBackupCopiesGreysTheFolderGadgetsAndCheckingKeepsTheFolder) {
    openWindow(settingTab);
    const Gadgets& g = app.g;
    const Gadget backup = app.options["rez"].gadget;
    ASSERT_EQ(tk::getGadgetState(backup), 1);
    const Text shown = tk::getGadgetText(g.backupPathText);
    const Text treeFolder = tk::getGadgetText(g.backupTree);
    ASSERT_FALSE(shown.empty());
    EXPECT_FALSE(tk::isGadgetDisabled(g.backupTree));
    EXPECT_FALSE(tk::isGadgetDisabled(g.backupPathText));

    clickCheckBox(backup);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(backup), 0);
    EXPECT_TRUE(tk::isGadgetDisabled(g.backupTree));
    EXPECT_TRUE(tk::isGadgetDisabled(g.backupPathText));

    clickCheckBox(backup);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(backup), 1);
    EXPECT_FALSE(tk::isGadgetDisabled(g.backupTree));
    EXPECT_FALSE(tk::isGadgetDisabled(g.backupPathText));
    EXPECT_EQ(tk::getGadgetText(g.backupPathText), shown);
    EXPECT_EQ(tk::getGadgetText(g.backupTree), treeFolder);
}

TEST_F(EditorCommands, BackupCopiesUncheckedAtStartUpGreysTheFolderGadgets) {
    app.options["rez"].state = 0;
    openWindow(settingTab);
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.backupTree));
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.backupPathText));
    clickCheckBox(app.options["rez"].gadget);
    processEvents();
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.backupTree));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.backupPathText));
}

TEST_F(EditorCommands, ChoosingAFolderInTheTreeShowsItsPath) {
    fs::create_directories(folder_ / "copies" / "older");
    openWindow(settingTab);
    const Text chosen = textFromUtf8((fs::canonical(folder_) / "copies" / "older").string()) + u"/";
    tk::testing::chooseTreeFolder(app.g.backupTree, chosen);
    processEvents();
    EXPECT_EQ(tk::getGadgetText(app.g.backupTree), chosen);
    EXPECT_EQ(tk::getGadgetText(app.g.backupPathText), chosen);
}

}  // namespace
