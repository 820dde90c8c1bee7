#include "app/run.h"

#include <chrono>

#include "app/app_state.h"
#include "app/code_pages.h"
#include "app/event_loop.h"
#include "app/languages.h"
#include "app/messages.h"
#include "app/preview.h"
#include "app/search.h"
#include "app/undo.h"
#include "ui/colours.h"
#include "ui/toolkit/toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

// Pending events are taken off the queue after every file, so that clicks made during the
// run are dropped. Taking them also lets the window repaint, and a repaint costs far more
// than a small file: over many small files the run would spend most of its time painting.
// So the queue is drained at most every 30 ms (and always after the first and the last
// file); the counters still show the right numbers at every drain.
constexpr auto drainInterval = std::chrono::milliseconds(30);

}  // namespace

WorkTabRows::WorkTabRows(const Text& root, size_t total, bool preview)
    : root_(root), total_(total), preview_(preview) {
    toGo_ = textToNumber(tk::getGadgetText(app.g.txt1));
}

void WorkTabRows::started() {
    clearErrorMarks(static_cast<int>(total_));
    progress_ = std::make_unique<WorkProgress>(static_cast<int64_t>(total_));
}

void WorkTabRows::fileDone(size_t index, const FileReport& report) {
    const Gadgets& g = app.g;
    const int item = static_cast<int>(index);
    switch (report.outcome) {
        case FileOutcome::changed:
            ++changed;
            tk::setGadgetText(g.txt3, numberToText(changed));
            if (preview_) {
                tk::setGadgetItemText(g.fileList, item,
                                      numberToText(static_cast<int64_t>(report.replacements)),
                                      previewCountColumn);
            } else {
                tk::setGadgetItemState(g.fileList, item, 1);
            }
            break;
        case FileOutcome::failed:
        case FileOutcome::unreadable:
            ++failed;
            tk::setGadgetItemColour(g.fileList, item, tk::frontColour, colour("crim"));
            tk::setGadgetItemNote(g.fileList, item, failureText(report.failure));
            break;
        case FileOutcome::unsupported:
            tk::setGadgetItemNote(g.fileList, item, text("err6"));
            showError(6, root_ + app.filePaths[index]);
            lastDrain_ = Clock::time_point();
            break;
        case FileOutcome::unchanged:
            break;
    }
    --toGo_;
    ++done_;
    const Clock::time_point now = Clock::now();
    if (now - lastDrain_ >= drainInterval || index + 1 == total_) {
        if (progress_) progress_->update(done_);
        takeEvents();
        lastDrain_ = now;
    }
    tk::setGadgetText(g.txt1, numberToText(toGo_));
}

bool takeStopRequests(tk::Gadget stopButton) {
    bool stop = false;
    while (const int kind = tk::pollEvent()) {
        if (kind == tk::closeEvent) requestClose();
        // Escape stops the work whatever "Exit on ESC" says: it never ends the program here.
        if (kind == tk::closeEvent || (kind == tk::menuEvent && tk::eventMenu() == 0) ||
            (kind == tk::gadgetEvent && stopButton != 0 && tk::eventGadget() == stopButton))
            stop = true;
    }
    return stop;
}

void WorkTabRows::takeEvents() {
    if (takeStopRequests(preview_ ? app.g.previewButton : app.g.runButton1)) stopRequested_ = true;
}

void clearErrorMarks(int rows) {
    const Gadget list = app.g.fileList;
    const tk::Colour mark = colour("crim");
    const tk::Colour normal = tk::getGadgetColour(list, tk::frontColour);
    for (int i = 0; i < rows; ++i) {
        if (tk::getGadgetItemColour(list, i, tk::frontColour) == mark)
            tk::setGadgetItemColour(list, i, tk::frontColour, normal);
        if (!tk::getGadgetItemNote(list, i).empty()) tk::setGadgetItemNote(list, i, Text());
    }
}

void lockWorkTab(bool disabled) {
    const Gadgets& g = app.g;
    const Gadget inputs[] = {g.addFilesButton, g.addFoldersButton, g.runButton1, g.previewButton, g.workSave, g.workDelete,
                             g.searchSave1, g.searchDelete1, g.replaceSave1, g.replaceDelete1, g.workCombo,
                             g.searchCombo1, g.replaceCombo1, g.searchEditor1, g.replaceEditor1,
                             g.searchLabel1, g.replaceLabel1};
    for (Gadget gadget : inputs) tk::disableGadget(gadget, disabled);
    for (const char* key : {"txt", "hta", "htm", "htl"}) tk::disableGadget(app.extensions[key].gadget, disabled);
    for (const char* key : {"reg1", "cas1", "spa1"}) tk::disableGadget(app.options[key].gadget, disabled);
    // Open again, the undo button follows the backup folder's journal.
    if (disabled) tk::disableGadget(g.undoButton, true);
    else refreshUndoButton();
}

void clearListChecks() {
    const Gadget list = app.g.fileList;
    const int rows = tk::countGadgetItems(list);
    for (int i = 0; i < rows; ++i) tk::setGadgetItemState(list, i, 0);
}

void runFiles() {
    const Gadgets& g = app.g;
    lockWorkTab(true);
    forgetPreview();
    const size_t total = app.filePaths.size();
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
    WorkTabRows rows(root, total, false);
    RunTotals totals;
    // The run button stays, as "Stop", while the run goes on.
    tk::disableGadget(g.runButton1, false);
    tk::setGadgetText(g.runButton1, text("stp1"));
    const RunStart start = runOverFiles(root, app.filePaths, row,
                                        RewriteOptions{chosenCharset(), optionChecked("lin")}, backupFolder, rows,
                                        totals);
    rows.endProgress();
    tk::setGadgetText(g.runButton1, text("but7"));
    // Copies into a folder that holds the files being changed would overwrite originals or
    // be changed themselves: such a run touches nothing. A second run or undo into the same
    // backup folder would mix its copies with this one's.
    switch (start) {
        case RunStart::ran: break;
        case RunStart::backupOverlap:
            showError(7, backupFolder);
            lockWorkTab(false);
            return;
        case RunStart::backupBusy:
            showError(9, backupFolder);
            lockWorkTab(false);
            return;
    }
    const int32_t changedCount = rows.changed;
    const int64_t failedCount = rows.failed;
    showRunResult(changedCount, failedCount, totals.stopped);
    tk::setGadgetText(g.txt1, numberToText(static_cast<int64_t>(total)));
    lockWorkTab(false);
}
