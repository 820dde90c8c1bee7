#include "engine/run.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "engine/backup.h"

namespace {

// What every thread of a run shares.
struct RunSetup {
    const std::string root;  // file-system bytes
    const std::vector<Text>& relatives;
    const PreparedRow& row;
    const RewriteOptions& options;
    const Text& rootText;
    const Text& backupFolder;
    const bool backups;
    RunJournal* const journal;
    ReachedFiles& reached;
    const size_t firstIndex;  // the list's first entry in reached
};

// Does the files of a run on one thread, with a rewriter and a backup copier of its own.
class FileWorker {
public:
    explicit FileWorker(RunSetup& setup)
        : setup_(setup), rewriter_(setup.options, &setup.reached), copier_(setup.rootText, setup.backupFolder) {}

    FileReport run(size_t index) {
        const Text& relative = setup_.relatives[index];
        path_ = setup_.root;
        appendTextToUtf8(relative, path_);
        const BeforeWrite backup = [&] {
            backupPath_ = textToUtf8(relative);
            return setup_.journal->reserve(backupPath_) && copier_.copy(relative, &copied_);
        };
        const BeforeRename note = [&](const Fingerprint& written) {
            return setup_.journal->record(path_, backupPath_, written, copied_);
        };
        FileReport report;
        report.outcome = rewriter_.rewrite(setup_.firstIndex + index, path_, setup_.row,
                                           setup_.backups ? backup : BeforeWrite(),
                                           setup_.backups ? note : BeforeRename());
        report.replacements = rewriter_.lastReplacements();
        if (report.outcome == FileOutcome::failed || report.outcome == FileOutcome::unreadable)
            report.failure = rewriter_.lastFailure();
        if (setup_.options.keepOldText && report.outcome == FileOutcome::changed) {
            report.oldText = rewriter_.lastOldText();
            report.newText = rewriter_.lastNewText();
        }
        if (setup_.options.keepBytes && report.outcome == FileOutcome::changed) {
            rewriter_.takeLastBytes(report.oldBytes, report.newBytes);
            report.format = rewriter_.lastFormat();
        }
        return report;
    }

private:
    RunSetup& setup_;
    FileRewriter rewriter_;
    BackupCopier copier_;
    std::string path_;
    std::string backupPath_;
    Fingerprint copied_;
};

void count(const FileReport& report, RunTotals& totals) {
    ++totals.searched;
    if (report.outcome == FileOutcome::changed) ++totals.changed;
    if (report.outcome == FileOutcome::failed || report.outcome == FileOutcome::unreadable) ++totals.failed;
}

void runOnThisThread(RunSetup& setup, RunObserver& observer, RunTotals& totals) {
    FileWorker worker(setup);
    const size_t files = setup.relatives.size();
    for (size_t i = 0; i < files; ++i) {
        const FileReport report = worker.run(i);
        count(report, totals);
        observer.fileDone(i, report);
        if (i + 1 < files && !observer.keepGoing()) {
            totals.stopped = true;
            break;
        }
    }
}

// The files of a run done by several threads and handed to the observer in the list's
// order, on the thread that started the run. Threads take runs of consecutive files (a
// chunk) and hand a chunk's reports over at once, so that a thread meets the others once
// per chunk rather than once per file; they work at most a window of files ahead of the
// last told, so that a stop takes effect soon and the reports waiting stay few.
class ParallelRun {
public:
    ParallelRun(RunSetup& setup, unsigned jobs) : setup_(setup), files_(setup.relatives.size()), end_(files_) {
        // Small chunks for short lists, so that every thread gets its share.
        chunk_ = std::clamp<size_t>(files_ / (8 * static_cast<size_t>(jobs)), 1, 16);
        window_ = std::max<size_t>(16, 4 * chunk_) * jobs;
        slots_.resize(window_);
        for (unsigned j = 0; j < jobs; ++j) workers_.push_back(std::make_unique<FileWorker>(setup));
        for (unsigned j = 0; j < jobs; ++j) {
            try {
                threads_.emplace_back([this, j] { work(*workers_[j]); });
            } catch (const std::system_error&) {
                break;  // as many threads as the system gives
            }
        }
    }
    ~ParallelRun() {
        {
            const std::lock_guard lock(mutex_);
            end_ = std::min(end_, next_);
        }
        stopping_.store(true, std::memory_order_relaxed);
        room_.notify_all();
        for (std::thread& thread : threads_) thread.join();
    }
    ParallelRun(const ParallelRun&) = delete;
    ParallelRun& operator=(const ParallelRun&) = delete;

    bool started() const { return !threads_.empty(); }

    void tell(RunObserver& observer, RunTotals& totals) {
        std::vector<Slot> batch;
        size_t told = 0;
        size_t toldEnd = files_;
        bool skipped = false;
        for (;;) {
            batch.clear();
            size_t first = told;
            {
                std::unique_lock lock(mutex_);
                if (told_ != told) {
                    told_ = told;
                    if (waitingForRoom_ > 0) room_.notify_all();
                }
                awaited_ = told;
                ready_.wait(lock, [&] { return told >= end_ || slotOf(told).state != Slot::empty; });
                if (told >= end_) break;
                for (Slot* slot = &slotOf(told); told < end_ && slot->state != Slot::empty; slot = &slotOf(told)) {
                    batch.push_back(std::move(*slot));
                    *slot = Slot();
                    ++told;
                }
            }
            for (Slot& slot : batch) {
                const size_t index = first++;
                if (slot.state == Slot::notBegun) {
                    skipped = true;
                    continue;
                }
                if (index >= toldEnd) continue;
                count(slot.report, totals);
                observer.fileDone(index, slot.report);
                if (index + 1 < files_ && toldEnd == files_ && !observer.keepGoing()) toldEnd = stop(index);
            }
        }
        totals.stopped = toldEnd < files_ || skipped;
    }

private:
    // A file's place in the window: empty until its thread hands its report over.
    struct Slot {
        enum State { empty, done, notBegun } state = empty;
        FileReport report;
    };
    Slot& slotOf(size_t index) { return slots_[index % window_]; }

    // Begins no more files after the observer stopped the run at index; the end of what
    // is told. A dry run ends at index, as on one thread, since the files begun after it
    // are not touched; a real run tells every file begun, since it may have changed them.
    size_t stop(size_t index) {
        stopping_.store(true, std::memory_order_relaxed);
        const std::lock_guard lock(mutex_);
        end_ = std::min(end_, setup_.options.dryRun ? index + 1 : next_);
        return setup_.options.dryRun ? end_ : files_;
    }

    void work(FileWorker& worker) {
        std::vector<Slot> reports;
        for (;;) {
            size_t first;
            size_t last;
            {
                std::unique_lock lock(mutex_);
                ++waitingForRoom_;
                room_.wait(lock, [&] { return next_ >= end_ || next_ < told_ + window_; });
                --waitingForRoom_;
                if (next_ >= end_) return;
                first = next_;
                last = std::min({end_, first + chunk_, told_ + window_});
                next_ = last;
            }
            reports.clear();
            for (size_t index = first; index < last; ++index) {
                Slot& slot = reports.emplace_back();
                // A stop begins no further file, also of a chunk already taken.
                // Its place in the order counts as reached: later files never wait for it.
                if (stopping_.load(std::memory_order_relaxed)) {
                    slot.state = Slot::notBegun;
                    setup_.reached.reach(setup_.firstIndex + index, nullptr);
                    continue;
                }
                slot.state = Slot::done;
                try {
                    slot.report = worker.run(index);
                } catch (const std::exception&) {
                    // The rewriter's claim has reached the file whatever happened.
                    slot.report = FileReport();
                    slot.report.outcome = FileOutcome::failed;
                    slot.report.failure = {FailureCause::writeFailed, 0};
                }
            }
            const std::lock_guard lock(mutex_);
            for (size_t index = first; index < last; ++index) slotOf(index) = std::move(reports[index - first]);
            if (first <= awaited_ && awaited_ < last) ready_.notify_one();
        }
    }

    RunSetup& setup_;
    const size_t files_;
    size_t chunk_;
    size_t window_;
    std::vector<std::unique_ptr<FileWorker>> workers_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stopping_{false};  // the run stops: no thread begins another file

    std::mutex mutex_;
    std::condition_variable ready_;  // the file the observer waits for is done
    std::condition_variable room_;   // files were told, or the run ends
    size_t next_ = 0;             // the next file to hand to a thread
    size_t end_;                  // no file from here on is handed out
    size_t told_ = 0;             // files told to the observer
    size_t awaited_ = 0;          // the file the observer waits for
    unsigned waitingForRoom_ = 0;  // threads waiting for the window to move on
    std::vector<Slot> slots_;     // the window's files, by index modulo its size
};

}  // namespace

unsigned defaultRunJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, 8u);
}

RunStart runOverFiles(const Text& root, const std::vector<Text>& relatives, const PreparedRow& row,
                      const RewriteOptions& options, const Text& backupFolder, RunObserver& observer,
                      RunTotals& totals, RunSession* session, unsigned jobs) {
    totals = RunTotals{};
    const bool backups = !backupFolder.empty() && !options.dryRun;
    if (backups && backupFolderHoldsFilesOf(backupFolder, root, relatives)) return RunStart::backupOverlap;
    std::optional<RunJournal> ownJournal;
    std::optional<RunSession> ownSession;
    if (session == nullptr || (backups && session->journal == nullptr)) {
        if (backups) ownJournal.emplace(textToUtf8(backupFolder));
        session = &ownSession.emplace(backups ? &*ownJournal : nullptr);
    }
    RunJournal* const journal = backups ? session->journal : nullptr;
    if (journal != nullptr && !journal->lockFolder()) return RunStart::backupBusy;
    observer.started();
    const size_t firstIndex = session->nextIndex;
    session->nextIndex += relatives.size();
    RunSetup setup{textToUtf8(root), relatives, row,     options, root, backupFolder, backups,
                   journal,          session->reached, firstIndex};
    if (jobs == 0) jobs = defaultRunJobs();
    jobs = static_cast<unsigned>(std::min<size_t>(jobs, relatives.size()));
    bool ran = false;
    if (jobs > 1) {
        ParallelRun run(setup, jobs);
        if (run.started()) {
            run.tell(observer, totals);
            ran = true;
        }
    }
    if (!ran) runOnThisThread(setup, observer, totals);
    // The files of a stopped run that were never begun.
    session->reached.reachAllBelow(session->nextIndex);
    return RunStart::ran;
}
