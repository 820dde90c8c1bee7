#include "app/undo.h"

#include <chrono>
#include <memory>
#include <string>
#include <unordered_map>

#include "app/app_state.h"
#include "app/languages.h"
#include "app/messages.h"
#include "app/progress.h"
#include "app/run.h"
#include "engine/run_journal.h"
#include "ui/colours.h"
#include "ui/toolkit/toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string backupFolder() { return textToUtf8(tk::getGadgetText(app.g.backupTree)); }

// The undo as the Work tab shows it: a restored file's row loses its tick, a file left
// alone is marked; files not in the list are only counted. The window takes its pending
// events every 30 ms, as during a run: Escape or the close box stops the undo there.
class UndoRows : public UndoObserver {
public:
    explicit UndoRows(size_t total) : progress_(std::make_unique<WorkProgress>(static_cast<int64_t>(total))) {
        const std::string root = textToUtf8(app.paths.root);
        for (size_t i = 0; i < app.filePaths.size(); ++i) rowOf_.emplace(root + textToUtf8(app.filePaths[i]), i);
        // None yet: the first file takes the events.
        lastDrain_ = Clock::time_point();
    }
    void fileDone(size_t, const JournalEntry& entry, const RestoreResult& result) override {
        const RestoreOutcome outcome = result.outcome;
        const auto row = rowOf_.find(entry.path);
        if (row != rowOf_.end()) {
            const int item = static_cast<int>(row->second);
            if (outcome == RestoreOutcome::restored) tk::setGadgetItemState(app.g.fileList, item, 0);
            else if (outcome != RestoreOutcome::alreadyRestored) {
                tk::setGadgetItemColour(app.g.fileList, item, tk::frontColour, colour("crim"));
                tk::setGadgetItemNote(app.g.fileList, item, leftAloneText(outcome));
            }
        }
        const Clock::time_point now = Clock::now();
        ++done_;
        if (now - lastDrain_ >= std::chrono::milliseconds(30)) {
            if (progress_) progress_->update(done_);
            if (takeStopRequests(0)) stopRequested_ = true;
            lastDrain_ = now;
        }
    }
    bool keepGoing() override { return !stopRequested_; }
    // The undo is over: its progress bar goes.
    void endProgress() { progress_.reset(); }

private:
    bool stopRequested_ = false;
    std::unique_ptr<WorkProgress> progress_;
    int64_t done_ = 0;
    std::unordered_map<std::string, size_t> rowOf_;
    Clock::time_point lastDrain_;
};

}  // namespace

void refreshUndoButton() {
    const std::string folder = backupFolder();
    tk::disableGadget(app.g.undoButton, folder.empty() || readJournal(folder).state != Journal::State::ready);
}

void undoLastRun() {
    const std::string folder = backupFolder();
    const Journal journal = readJournal(folder);
    if (journal.state == Journal::State::damaged) showError(8, textFromUtf8(journal.problem));
    if (journal.state != Journal::State::ready) {
        refreshUndoButton();
        return;
    }
    Text question = text("und2") + u" " + numberToText(static_cast<int64_t>(journal.entries.size()));
    // A journal without its closing line: the run was killed, or the journal cut short.
    if (!journal.finished)
        question += app.lineBreak + text("und5") + u" " + numberToText(static_cast<int64_t>(journal.named));
    if (!tk::questionBox(text("und1"), question, text("und1"), text("und4"))) return;
    lockWorkTab(true);
    clearErrorMarks(static_cast<int>(app.filePaths.size()));
    UndoRows rows(journal.entries.size());
    UndoTotals totals;
    const UndoEnd end = undoRun(folder, journal, rows, totals);
    rows.endProgress();
    if (end == UndoEnd::busy) showError(9, textFromUtf8(folder));
    else showUndoResult(totals.restored, totals.leftAlone, totals.stopped);
    lockWorkTab(false);
}
