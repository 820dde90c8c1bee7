#include "cli/rif_report.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "cli/rif_diff.h"
#include "cli/rif_json.h"

namespace {

// "PATH: error: " on standard error, its "error" in colour when coloured.
std::string errorLead(const std::string& path, bool coloured) {
    return path + ": " + painted("error", colour::error, coloured) + ": ";
}

}  // namespace

std::string failureReason(const Failure& failure) {
    const std::string system = failure.error != 0 ? std::string(": ") + std::strerror(failure.error) : std::string();
    switch (failure.cause) {
        case FailureCause::unreadable: return "it could not be read" + system;
        case FailureCause::pathTooLong: return "its path is longer than the system can open";
        case FailureCause::notWholeText:
            return "writing it back would change bytes that were not replaced (a zero byte, bytes its character "
                   "set cannot hold, or a cut-off last character); it was left as it was";
        case FailureCause::notWritable: return "it is read-only, or its folder may not be written; it was left as it was";
        case FailureCause::inUse: return "another program has it locked; it was left as it was";
        case FailureCause::hardLinks:
            return "it has other names (hard links), which would keep the old text; it was left as it was";
        case FailureCause::changedMeanwhile:
            return "it was changed by another program during the run; it was left as that program left it";
        case FailureCause::backupFailed: return "its backup copy could not be made" + system + "; it was left as it was";
        case FailureCause::outOfMemory: return "there is not enough memory for it; it was left as it was";
        case FailureCause::matchLimit:
            return "the regular expression took too long on it (match limit); it was left as it was";
        case FailureCause::writeFailed: return "its new contents could not be written" + system + "; it was left as it was";
        case FailureCause::none: break;
    }
    return "it could not be changed safely and was left as it was";
}

const char* leftAloneReason(RestoreOutcome outcome) {
    switch (outcome) {
        case RestoreOutcome::editedSince: return "it was edited after the run";
        case RestoreOutcome::missing: return "it is not there any more";
        case RestoreOutcome::backupMissing: return "its backup copy is missing";
        case RestoreOutcome::backupChanged: return "its backup copy is not the one the run made";
        case RestoreOutcome::failed: return "it could not be written safely";
        case RestoreOutcome::restored:
        case RestoreOutcome::alreadyRestored: break;
    }
    return nullptr;
}

Report::Report(const Settings& settings, const Colours& colours, size_t total)
    : settings_(settings), colours_(colours), total_(total) {
    progress_ = isatty(STDERR_FILENO) == 1;
    start_ = Clock::now();
}

void Report::fileDone(size_t index, const FileReport& file) {
    const FileOutcome outcome = file.outcome;
    ++done_;
    const std::string path = textToUtf8(batch_->root + batch_->relatives[index]);
    std::string reason;
    if (outcome == FileOutcome::unreadable || outcome == FileOutcome::failed) reason = failureReason(file.failure);
    if (outcome == FileOutcome::unsupported) reason = "its encoding is not supported (UTF-16 BE or UTF-32)";
    clearProgress();
    if (outcome == FileOutcome::changed) {
        ++changed;
        if (settings_.json) {
            std::cout << jsonLine("change", {{"path", jsonPath(path)},
                                             {"replacements", file.replacements},
                                             {"dry_run", settings_.dryRun}})
                      << "\n";
        } else if (settings_.diff) {
            printDiff(std::cout, path, file, colours_.out);
        } else if (!settings_.quiet) {
            std::cout << painted(path, colour::path, colours_.out) << ": " << file.replacements << "\n";
        }
    } else if (!reason.empty()) {
        ++failed;
        if (settings_.json) {
            std::cout << jsonLine("error", {{"path", jsonPath(path)}, {"error", reason}}) << "\n";
        } else {
            std::cerr << errorLead(path, colours_.err) << reason << "\n";
        }
    }
    drawProgress();
}

void Report::clearProgress() {
    if (!shown_) return;
    std::cerr << "\r\033[K" << std::flush;
    shown_ = false;
}

void Report::drawProgress() {
    if (!progress_) return;
    const Clock::time_point now = Clock::now();
    if (now - start_ < std::chrono::seconds(1) || now - lastDrawn_ < std::chrono::milliseconds(100)) return;
    lastDrawn_ = now;
    std::cout << std::flush;
    std::cerr << "\r" << done_ << " of " << total_ << " files, " << changed << " changed" << std::flush;
    shown_ = true;
}

void UndoReport::fileDone(size_t, const JournalEntry& entry, const RestoreResult& result) {
    const RestoreOutcome outcome = result.outcome;
    const char* const leftAlone = leftAloneReason(outcome);
    std::string because;
    if (leftAlone != nullptr) {
        because = leftAlone;
        if (result.error != 0) because += std::string(": ") + std::strerror(result.error);
    }
    const char* reason = leftAlone != nullptr ? because.c_str() : nullptr;
    if (settings_.json && reason != nullptr) {
        std::cout << jsonLine("error", {{"path", jsonPath(entry.path)}, {"error", std::string("left alone: ") + reason}})
                  << "\n";
    } else if (settings_.json && outcome == RestoreOutcome::restored) {
        std::cout << jsonLine("restored", {{"path", jsonPath(entry.path)}}) << "\n";
    } else if (reason != nullptr) {
        std::cerr << errorLead(entry.path, colours_.err) << "left alone: " << reason << "\n";
    } else if (outcome == RestoreOutcome::restored && !settings_.quiet) {
        std::cout << painted(entry.path, colour::path, colours_.out) << ": restored\n";
    }
}
