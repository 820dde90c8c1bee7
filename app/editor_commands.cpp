// The editors' popup menu commands and the other small commands of the event loop.

#include "app/editor_commands.h"

#include "app/app_state.h"
#include "ui/sounds.h"

namespace {

// The hidden buffer paired with one of the five visible editors; 0 for any other gadget.
Gadget bufferOf(Gadget editor) {
    const Gadgets& g = app.g;
    const Gadget editors[] = {g.searchEditor1, g.replaceEditor1, g.edi4, g.edi5, g.edi6};
    for (int i = 0; i < 5; ++i) {
        if (editor != 0 && editors[i] == editor) return g.editorBuffer[i];
    }
    return 0;
}

}  // namespace

void openPopupMenu(Gadget editor) {
    app.g.popupEditor = editor;
    beepIfSoundOn(1000, 30);
    int x, y;
    tk::cursorPosition(x, y);
    tk::showPopupMenu(x - 1, y - 1);
}

void selectAll() {
    tk::setEditorSelection(app.g.popupEditor, 0, 99999999);
    tk::setActiveGadget(app.g.popupEditor);
}

void pasteClipboard() {
    tk::replaceEditorSelection(app.g.popupEditor, tk::getClipboardText());
    tk::setActiveGadget(app.g.popupEditor);
}

void clearAndInsert() {
    selectAll();
    pasteClipboard();
}

void copySelection() {
    int start, end;
    tk::getEditorSelection(app.g.popupEditor, start, end);
    if (start == end) return;
    tk::setClipboardText(tk::editorSelectedText(app.g.popupEditor));
}

void copyAll() {
    selectAll();
    copySelection();
}

void keepInBuffer() {
    Gadget buffer = bufferOf(app.g.popupEditor);
    if (buffer) tk::setGadgetText(buffer, tk::getGadgetText(app.g.popupEditor));
}

void insertFromBuffer() {
    Gadget buffer = bufferOf(app.g.popupEditor);
    if (buffer) tk::setGadgetText(app.g.popupEditor, tk::getGadgetText(buffer));
}

void historyEntryToEditor(Gadget combo, Gadget editor) {
    tk::setGadgetText(editor, tk::getGadgetText(combo));
}

void extensionToggle(Gadget toggle) {
    if (tk::getGadgetState(toggle) == 1) {
        for (auto& [key, extension] : app.extensions) {
            if (extension.gadget == toggle) {
                tk::setGadgetAttribute(toggle, tk::pressedImage, tk::catchImage(extension.picture, 32));
            }
        }
        return;
    }
    for (auto& [key, extension] : app.extensions) {
        if (tk::getGadgetState(extension.gadget) == 1) return;
    }
    tk::setGadgetState(toggle, 1);
}

void backupSwitch() {
    bool on = optionChecked("rez");
    tk::disableGadget(app.g.backupTree, !on);
    tk::disableGadget(app.g.backupPathText, !on);
}

void backupFolderChosen() {
    tk::setGadgetText(app.g.backupPathText, tk::getGadgetText(app.g.backupTree));
}
