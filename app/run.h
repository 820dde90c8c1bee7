#pragma once
// The run over the file set: find and replace in every file, write back, tick, report.

#include <chrono>
#include <cstdint>
#include <memory>

#include "app/progress.h"
#include "engine/run.h"
#include "ui/toolkit/toolkit.h"

// The file list's column where a preview puts each file's count of changes.
constexpr int previewCountColumn = 2;

// A run or a preview as the Work tab shows it: the list's old marks go once it goes ahead;
// each file moves the countdown and the changed counter, and ticks its row (a preview
// writes the file's count of changes instead) or marks it; every 30 ms, and after the
// first and last file, the window takes its pending events. Escape, the button of the work
// going on ("Stop" during a run) and the close box stop it after the files being worked
// on (the close box also ends the program once it has stopped); other events are dropped.
class WorkTabRows : public RunObserver {
public:
    WorkTabRows(const Text& root, size_t total, bool preview);
    void started() override;
    void fileDone(size_t index, const FileReport& report) override;
    bool keepGoing() override { return !stopRequested_; }
    // The work is over: its progress bar goes.
    void endProgress() { progress_.reset(); }
    int32_t changed = 0;
    int64_t failed = 0;

private:
    void takeEvents();

    const Text& root_;
    size_t total_;
    bool preview_;
    int64_t toGo_ = 0;
    bool stopRequested_ = false;
    std::chrono::steady_clock::time_point lastDrain_;  // none yet: the first file takes them
    std::unique_ptr<WorkProgress> progress_;
    int64_t done_ = 0;
};

// Runs row 1 over every file of the set.
void runFiles();
// Takes the window's pending events during long work: true when one of them asks to stop
// it (Escape, stopButton when given, or the close box, which also asks the loop to end).
// Every other event is dropped.
bool takeStopRequests(tk::Gadget stopButton);
// Disables or enables the Work tab's inputs.
void lockWorkTab(bool disabled);
// Rows marked by an earlier run or undo get the list's own text colour again, without their notes.
void clearErrorMarks(int rows);
// Unticks every row of the file list.
void clearListChecks();
