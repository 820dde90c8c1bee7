#include "core/run.h"

#include <chrono>

#include "core/app_state.h"
#include "engine/backup.h"
#include "engine/file_rewrite.h"
#include "core/messages.h"
#include "core/search.h"
#include "core/code_pages.h"
#include "ui/colours.h"
#include "ui/toolkit/toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

// Pending events are taken off the queue after every file, so that clicks made during the
// run are dropped. Taking them also lets the window repaint, and a repaint costs far more
// than a small file: over many small files the run would spend most of its time painting.
// So the queue is drained at most every 30 ms (and always at the end of the run); the
// counters still show the right numbers at every drain.
constexpr auto drainInterval = std::chrono::milliseconds(30);

// Rows marked by an earlier run get the list's own text colour again.
void clearErrorMarks(int rows) {
    const Gadget list = app.g.fileList;
    const tk::Colour mark = colour("crim");
    const tk::Colour normal = tk::getGadgetColour(list, tk::frontColour);
    for (int i = 0; i < rows; ++i) {
        if (tk::getGadgetItemColour(list, i, tk::frontColour) == mark)
            tk::setGadgetItemColour(list, i, tk::frontColour, normal);
    }
}

}  // namespace

void lockWorkTab(bool disabled) {
    const Gadgets& g = app.g;
    const Gadget inputs[] = {g.addFilesButton, g.addFoldersButton, g.runButton1, g.workSave, g.workDelete,
                             g.searchSave1, g.searchDelete1, g.replaceSave1, g.replaceDelete1, g.workCombo,
                             g.searchCombo1, g.replaceCombo1, g.searchEditor1, g.replaceEditor1,
                             g.searchLabel1, g.replaceLabel1};
    for (Gadget gadget : inputs) tk::disableGadget(gadget, disabled);
    for (const char* key : {"txt", "hta", "htm", "htl"}) tk::disableGadget(app.extensions[key].gadget, disabled);
    for (const char* key : {"reg1", "cas1", "spa1"}) tk::disableGadget(app.options[key].gadget, disabled);
}

void clearListChecks() {
    const Gadget list = app.g.fileList;
    const int rows = tk::countGadgetItems(list);
    for (int i = 0; i < rows; ++i) tk::setGadgetItemState(list, i, 0);
}

void runFiles() {
    const Gadgets& g = app.g;
    lockWorkTab(true);
    const size_t total = app.filePaths.size();
    int32_t changedCount = 0;
    int64_t failedCount = 0;
    tk::setGadgetText(g.txt3, u"0");
    if (optionChecked("hek")) clearListChecks();
    PreparedRow row;
    if (!prepareRow(1, row)) {
        lockWorkTab(false);
        return;
    }
    const bool backups = optionChecked("rez");
    const Text backupFolder = backups ? tk::getGadgetText(g.backupTree) : Text();
    const Text root = app.paths.root;
    // Copies into a folder that holds the files being changed would overwrite originals or
    // be changed themselves: such a run touches nothing.
    if (backups && backupFolderHoldsFilesOf(backupFolder, root, app.filePaths)) {
        showError(7, backupFolder);
        lockWorkTab(false);
        return;
    }
    clearErrorMarks(static_cast<int>(total));

    FileRewriter rewriter(RewriteOptions{chosenCharset(), optionChecked("lin")});
    BackupCopier copier(root, backupFolder);
    int64_t toGo = textToNumber(tk::getGadgetText(g.txt1));
    Clock::time_point lastDrain = Clock::now();
    for (size_t i = 0; i < total; ++i) {
        const Text& relative = app.filePaths[i];
        const std::string path = textToUtf8(root + relative);
        const BeforeWrite backup = [&] { return !backups || copier.copy(relative); };
        const int item = static_cast<int>(i);
        switch (rewriter.rewrite(path, row, backup)) {
            case FileOutcome::changed:
                ++changedCount;
                tk::setGadgetText(g.txt3, numberToText(changedCount));
                tk::setGadgetItemState(g.fileList, item, 1);
                break;
            case FileOutcome::failed:
            case FileOutcome::unreadable:
                ++failedCount;
                tk::setGadgetItemColour(g.fileList, item, tk::frontColour, colour("crim"));
                break;
            case FileOutcome::unsupported:
                showError(6, root + relative);
                lastDrain = Clock::time_point();
                break;
            case FileOutcome::unchanged:
                break;
        }
        --toGo;
        const Clock::time_point now = Clock::now();
        if (now - lastDrain >= drainInterval || i + 1 == total) {
            tk::discardPendingEvents();
            lastDrain = now;
        }
        tk::setGadgetText(g.txt1, numberToText(toGo));
    }
    showRunResult(changedCount, failedCount);
    tk::setGadgetText(g.txt1, numberToText(static_cast<int64_t>(total)));
    lockWorkTab(false);
}
