#pragma once
// What rif says of a run and of an undo: a line per file, the progress line, and the
// reasons for files left as they were.

#include <chrono>
#include <cstdint>
#include <string>

#include "cli/rif_colour.h"
#include "cli/rif_files.h"
#include "cli/rif_options.h"
#include "engine/run.h"
#include "engine/run_journal.h"

// Why a file was left as it was, in words.
std::string failureReason(const Failure& failure);

// Why the undo left a file alone; null for a file put back.
const char* leftAloneReason(RestoreOutcome outcome);

// Reports each file as the run is done with it, and draws the progress line.
class Report : public RunObserver {
public:
    Report(const Settings& settings, const Colours& colours, size_t total);
    void useBatch(const Batch& batch) { batch_ = &batch; }
    void fileDone(size_t index, const FileReport& file) override;
    // Takes the progress line off the terminal.
    void clearProgress();

    int64_t changed = 0;
    int64_t failed = 0;

private:
    using Clock = std::chrono::steady_clock;
    // At most ten times a second, once the run has taken more than a second.
    void drawProgress();

    const Settings& settings_;
    const Colours colours_;
    const Batch* batch_ = nullptr;
    size_t total_;
    size_t done_ = 0;
    bool progress_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

// Reports each file as the undo is done with it.
class UndoReport : public UndoObserver {
public:
    UndoReport(const Settings& settings, const Colours& colours) : settings_(settings), colours_(colours) {}
    void fileDone(size_t, const JournalEntry& entry, const RestoreResult& result) override;

private:
    const Settings& settings_;
    const Colours colours_;
};
