// The main event loop and its fixed list of dispatch rules.

#include "app/event_loop.h"

#include <utility>

#include "app/app_state.h"
#include "app/editor_commands.h"
#include "app/file_set.h"
#include "app/run.h"
#include "app/search.h"
#include "app/undo.h"
#include "app/histories.h"
#include "app/preview.h"
#include "app/languages.h"
#include "ui/colours.h"
#include "ui/tool_tips.h"

namespace {

// Whether the last left click left one of the drop-down combos with the focus.
bool comboClicked = false;
// The close box was used while a command was going on.
bool closeRequested = false;

void rightClick() {
    const Gadgets& g = app.g;
    switch (tk::getGadgetState(g.mainPanel)) {
        case 0:
            if (cursorInsideGadget(g.searchEditor1)) {
                openPopupMenu(g.searchEditor1);
            } else if (cursorInsideGadget(g.replaceEditor1)) {
                openPopupMenu(g.replaceEditor1);
            }
            break;
        case 1:
            for (Gadget editor : {g.edi4, g.edi5, g.edi6}) {
                if (cursorInsideGadget(editor)) {
                    openPopupMenu(editor);
                    break;
                }
            }
            break;
        default: break;
    }
}

void menuCommand(int item) {
    switch (item) {
        case 1: clearAndInsert(); break;
        case 2: pasteClipboard(); break;
        case 3: selectAll(); break;
        case 4: copySelection(); break;
        case 5: copyAll(); break;
        case 6: keepInBuffer(); break;
        case 7: insertFromBuffer(); break;
        default: break;
    }
}

void gadgetCommand(Gadget gadget, int type) {
    const Gadgets& g = app.g;
    // Row 1: every option check box gives the focus back to the hidden sink.
    for (auto& [key, option] : app.options) {
        if (option.gadget == gadget) {
            tk::setActiveGadget(g.focusSink);
            break;
        }
    }
    for (auto& [key, extension] : app.extensions) {
        if (extension.gadget == gadget) extensionToggle(gadget);
    }
    if (gadget == g.languageCombo) applyLanguage();
    if (type == tk::changeType) {
        if (gadget == g.searchCombo1) historyEntryToEditor(g.searchCombo1, g.searchEditor1);
        if (gadget == g.replaceCombo1) historyEntryToEditor(g.replaceCombo1, g.replaceEditor1);
        if (gadget == g.searchCombo2) historyEntryToEditor(g.searchCombo2, g.edi5);
        if (gadget == g.replaceCombo2) historyEntryToEditor(g.replaceCombo2, g.edi6);
    }
    if (gadget == g.addFilesButton) addFiles();
    if (gadget == g.addFoldersButton) addFolder();
    if (gadget == g.workSave) saveEntry(g.workSave);
    if (gadget == g.workDelete) deleteEntry(g.workDelete);
    if (gadget == g.runButton1) runFiles();
    if (gadget == g.undoButton) undoLastRun();
    if (gadget == g.previewButton) previewFiles();
    if (gadget == g.fileList && type == tk::activateType) showFileChanges(tk::activatedItem());
    if (gadget == g.runButton2) runSample();
    if (gadget == g.searchSave1 || gadget == g.searchSave2) saveEntry(gadget);
    if (gadget == g.replaceSave1 || gadget == g.replaceSave2) saveEntry(gadget);
    if (gadget == g.searchDelete1 || gadget == g.searchDelete2) deleteEntry(gadget);
    if (gadget == g.replaceDelete1 || gadget == g.replaceDelete2) deleteEntry(gadget);
    if (gadget == g.searchLabel1) copyToTwin(g.searchEditor1, g.edi5);
    if (gadget == g.replaceLabel1) copyToTwin(g.replaceEditor1, g.edi6);
    if (gadget == g.searchLabel2) copyToTwin(g.edi5, g.searchEditor1);
    if (gadget == g.replaceLabel2) copyToTwin(g.edi6, g.replaceEditor1);
    if (gadget == app.options["reg1"].gadget) {
        applyRegexLook(gadget, g.searchEditor1, g.replaceEditor1);
    }
    if (gadget == app.options["reg2"].gadget) applyRegexLook(gadget, g.edi5, g.edi6);
    if (gadget == app.options["rez"].gadget) backupSwitch();
    if (gadget == app.options["tip"].gadget) applyToolTips();
    if (gadget == g.backupTree && type == tk::changeType) {
        backupFolderChosen();
        refreshUndoButton();
    }
    if (gadget == g.mainPanel) {
        int tab = tk::getGadgetState(g.mainPanel);
        if (tab >= 0 && tab <= 2) tk::setActiveGadget(g.focusSink);
    }
}

bool isDropDownCombo(Gadget gadget) {
    const Gadgets& g = app.g;
    return gadget != 0 && (gadget == g.languageCombo || gadget == g.codePageCombo || gadget == g.workCombo ||
                           gadget == g.searchCombo1 || gadget == g.replaceCombo1);
}

void handCursorRule() {
    const Gadgets& g = app.g;
    bool hand = false;
    switch (tk::getGadgetState(g.mainPanel)) {
        case 0:
            if (!comboClicked) {
                Gadget workGadgets[] = {
                    app.extensions["txt"].gadget, app.extensions["hta"].gadget,
                    app.extensions["htm"].gadget, app.extensions["htl"].gadget,
                    g.addFilesButton, g.addFoldersButton, g.runButton1, g.undoButton, g.previewButton, g.workSave, g.workDelete,
                    g.searchSave1, g.searchDelete1, g.replaceSave1, g.replaceDelete1,
                    g.searchLabel1, g.replaceLabel1};
                for (Gadget gadget : workGadgets) hand = hand || cursorInsideEnabledGadget(gadget);
            }
            break;
        case 1:
            for (Gadget gadget : {g.searchSave2, g.searchDelete2, g.replaceSave2, g.replaceDelete2,
                                  g.searchLabel2, g.replaceLabel2}) {
                hand = hand || cursorInsideGadget(gadget);
            }
            break;
        case 2:
            hand = cursorInsideGadget(g.languageCombo) || cursorInsideGadget(g.codePageCombo);
            if (!comboClicked) {
                for (const char* key : {"ton", "tip", "esc", "rez", "hek", "lin"}) {
                    hand = hand || cursorInsideGadget(app.options[key].gadget);
                }
            }
            break;
        default: break;
    }
    if (hand) tk::setHandCursor();
}

}  // namespace

bool cursorInsideGadget(tk::Gadget gadget) {
    int x, y, width, height;
    if (!tk::gadgetScreenRect(gadget, x, y, width, height)) return false;
    int cursorX, cursorY;
    tk::cursorPosition(cursorX, cursorY);
    return cursorX >= x && cursorX < x + width && cursorY >= y && cursorY < y + height;
}

bool cursorInsideEnabledGadget(tk::Gadget gadget) {
    if (tk::isGadgetDisabled(gadget)) return false;
    return cursorInsideGadget(gadget);
}

void runButtonProc(tk::Gadget /*runButton*/) {}

void requestClose() { closeRequested = true; }

bool handleEvent(int kind) {
    switch (kind) {
        case tk::menuEvent:
            if (tk::eventMenu() == 0) {
                if (optionChecked("esc")) return false;
            } else {
                menuCommand(tk::eventMenu());
            }
            break;
        case tk::rightButtonDown: rightClick(); break;
        case tk::gadgetEvent: gadgetCommand(tk::eventGadget(), tk::eventType()); break;
        case tk::leftButtonDown: comboClicked = isDropDownCombo(tk::getActiveGadget()); break;
        case tk::mouseMove: handCursorRule(); break;
        case tk::closeEvent: return false;
        default: break;
    }
    // A close asked for during the command ends the loop now, once.
    return !std::exchange(closeRequested, false);
}

void runEventLoop() {
    while (handleEvent(tk::waitEvent())) {
    }
}
