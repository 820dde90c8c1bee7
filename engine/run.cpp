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
#include <sys/resource.h>

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

    // Opens the file at index before its turn (see FileRewriter::openAhead).
    void openAhead(size_t index) {
        path_ = setup_.root;
        appendTextToUtf8(setup_.relatives[index], path_);
        rewriter_.openAhead(setup_.firstIndex + index, path_);
    }

    void reachOpenedAhead() { rewriter_.reachOpenedAhead(); }

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
// order, on the thread that started the run. The list is dealt out in rounds: in each,
// thread j of J does the round's j-th part (up to 64 files in a row, so that threads
// seldom write in the same folder at once), and opens all of them before it works through
// them, so that a file's first name in the list, settled once the files before it are
// opened, waits only for the other threads to begin the round. Each thread meets the
// others once per round, handing a round's reports over at once, rather than once per
// file. The threads work at most a window of files ahead of the last told, so that a
// stop takes effect soon and few reports wait.
class ParallelRun {
public:
    ParallelRun(RunSetup& setup, unsigned jobs) : setup_(setup), files_(setup.relatives.size()), end_(files_) {
        for (unsigned j = 0; j < jobs; ++j) workers_.push_back(std::make_unique<FileWorker>(setup));
        for (unsigned j = 0; j < jobs; ++j) {
            try {
                threads_.emplace_back([this, j] { work(*workers_[j], j); });
            } catch (const std::system_error&) {
                break;  // as many threads as the system gives
            }
        }
        {
            // The rounds are dealt to the threads that run.
            const std::lock_guard lock(mutex_);
            lanes_ = threads_.size();
            // A thread holds its files of a round open at once: at most a quarter of the
            // descriptors the process may have go to them.
            struct rlimit descriptors = {};
            size_t most = 64;
            if (getrlimit(RLIMIT_NOFILE, &descriptors) == 0 && descriptors.rlim_cur != RLIM_INFINITY)
                most = std::min<size_t>(most, descriptors.rlim_cur / (4 * std::max<size_t>(lanes_, 1)));
            perLane_ = std::clamp<size_t>(files_ / (16 * std::max<size_t>(lanes_, 1)), 1, std::max<size_t>(most, 1));
            window_ = std::max<size_t>(16, 4 * perLane_) * std::max<size_t>(lanes_, 1);
            slots_.resize(window_);
        }
        room_.notify_all();
    }
    ~ParallelRun() {
        {
            const std::lock_guard lock(mutex_);
            stopAll();
        }
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
        // Stopped when any file was never begun: skipped in a round, or in no round taken.
        const std::lock_guard lock(mutex_);
        totals.stopped = toldEnd < files_ || skipped || end_ < files_;
    }

private:
    // A file's place in the window: empty until its thread hands its report over.
    struct Slot {
        enum State { empty, done, notBegun } state = empty;
        FileReport report;
    };
    Slot& slotOf(size_t index) { return slots_[index % window_]; }

    // No thread begins another file; each still goes through the rounds that any thread
    // has taken, so that every file of them counts as reached and as handed over. Called
    // with the mutex held.
    void stopAll() {
        if (stopping_.load(std::memory_order_relaxed)) return;
        stopEnd_ = taken_;
        stopping_.store(true, std::memory_order_relaxed);
    }

    // Begins no more files after the observer stopped the run at index; the end of what
    // is told. A dry run ends at index, as on one thread, since the files begun after it
    // are not touched; a real run tells every file begun, since it may have changed them.
    size_t stop(size_t index) {
        {
            const std::lock_guard lock(mutex_);
            stopAll();
            end_ = std::min(end_, setup_.options.dryRun ? index + 1 : stopEnd_);
        }
        room_.notify_all();
        return setup_.options.dryRun ? index + 1 : files_;
    }

    void work(FileWorker& worker, size_t lane) {
        std::vector<std::pair<size_t, Slot>> reports;
        size_t round = 0;
        for (;; ++round) {
            size_t start;
            size_t span;
            bool skip;
            {
                std::unique_lock lock(mutex_);
                ++waitingForRoom_;
                room_.wait(lock, [&] {
                    if (lanes_ == 0) return false;
                    const size_t begin = round * lanes_ * perLane_;
                    if (stopping_.load(std::memory_order_relaxed)) return true;
                    return begin >= files_ || begin + lanes_ * perLane_ <= told_ + window_;
                });
                --waitingForRoom_;
                span = lanes_ * perLane_;
                start = round * span;
                skip = stopping_.load(std::memory_order_relaxed);
                if (start >= (skip ? stopEnd_ : files_)) return;
                taken_ = std::max(taken_, std::min(start + span, files_));
            }
            reports.clear();
            // The round's files are opened first, so that the other threads' files of the
            // round wait only for this thread to begin it, not for its turn at each file.
            if (!skip) {
                for (size_t index = start + lane * perLane_; index < start + (lane + 1) * perLane_ && index < files_; ++index)
                    worker.openAhead(index);
                worker.reachOpenedAhead();
            }
            for (size_t index = start + lane * perLane_; index < start + (lane + 1) * perLane_ && index < files_; ++index) {
                Slot& slot = reports.emplace_back(index, Slot()).second;
                // After a stop no file is begun; its place in the order counts as reached,
                // so that later files never wait for it.
                if (skip || stopping_.load(std::memory_order_relaxed)) {
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
            bool awaited = false;
            for (auto& [index, slot] : reports) {
                awaited = awaited || index == awaited_;
                slotOf(index) = std::move(slot);
            }
            if (awaited) ready_.notify_one();
        }
    }

    RunSetup& setup_;
    const size_t files_;
    std::vector<std::unique_ptr<FileWorker>> workers_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stopping_{false};  // the run stops: no thread begins another file

    std::mutex mutex_;
    std::condition_variable ready_;  // the file the observer waits for is done
    std::condition_variable room_;   // files were told, the threads are counted, or the run stops
    size_t lanes_ = 0;             // the threads that run (0 until they are counted)
    size_t perLane_ = 1;           // files of a round for each thread
    size_t window_ = 1;            // files handed out ahead of the last told, at most
    size_t end_;                   // no file from here on is told
    size_t taken_ = 0;             // the end of the rounds taken so far
    size_t stopEnd_ = 0;           // after a stop: the end of the rounds to go through
    size_t told_ = 0;              // files told to the observer
    size_t awaited_ = 0;           // the file the observer waits for
    unsigned waitingForRoom_ = 0;  // threads waiting for the window to move on
    std::vector<Slot> slots_;      // the window's files, by index modulo its size
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
