// rif: find and replace in many text files from the command line, on the same engine as
// the window: the same walk, the same search, the same safe rewrite and backups.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <dtl/dtl.hpp>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "engine/backup.h"
#include "engine/file_walk.h"
#include "engine/regex.h"
#include "engine/run.h"
#include "engine/run_journal.h"
#include "engine/text_file.h"

namespace {

// Exit statuses.
constexpr int someChanged = 0;
constexpr int nothingFound = 1;
constexpr int usageError = 2;
constexpr int someFailed = 3;

struct Settings {
    std::string search;
    std::string replacement;
    std::vector<std::string> paths;
    bool regex = false;
    bool ignoreCase = false;
    bool emptyLines = false;
    std::string extensions = "txt,hta,htm,html";
    std::string name;
    std::string backup;
    std::string codepage;
    bool crlf = false;
    bool dryRun = false;
    bool diff = false;
    bool json = false;
    bool quiet = false;
    unsigned jobs = 0;  // threads of the run; 0: one per core, at most 8
    std::string undo;  // the backup folder whose last run is undone
};

// The files of one PATH argument: the folder they are relative to, and their paths below it.
struct Batch {
    Text root;
    std::vector<Text> relatives;
};

std::string jsonLine(const nlohmann::json& object) {
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// A text's lines, whatever ends them, in UTF-8: what a unified diff compares.
std::vector<std::string> linesOf(const Text& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == Text::npos) end = text.size();
        lines.push_back(textToUtf8(TextView(text).substr(start, end - start)));
        if (end == text.size()) break;
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        if (start == text.size()) break;
    }
    return lines;
}

void printDiff(const std::string& path, const Text& before, const Text& after) {
    dtl::Diff<std::string> diff(linesOf(before), linesOf(after));
    diff.onHuge();
    diff.compose();
    diff.composeUnifiedHunks();
    std::cout << "--- " << path << "\n+++ " << path << "\n";
    diff.printUnifiedFormat(std::cout);
}

// Why a file was left as it was, in words.
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

// Reports each file as the run is done with it, and draws the progress line.
class Report : public RunObserver {
public:
    Report(const Settings& settings, size_t total) : settings_(settings), total_(total) {
        progress_ = isatty(STDERR_FILENO) == 1;
        start_ = Clock::now();
    }
    void useBatch(const Batch& batch) { batch_ = &batch; }

    void fileDone(size_t index, const FileReport& file) override {
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
                std::cout << jsonLine({{"path", path}, {"outcome", "changed"}, {"replacements", file.replacements}})
                          << "\n";
            } else if (settings_.diff) {
                printDiff(path, file.oldText, file.newText);
            } else if (!settings_.quiet) {
                std::cout << path << ": " << file.replacements << "\n";
            }
        } else if (!reason.empty()) {
            ++failed;
            if (settings_.json) {
                std::cout << jsonLine({{"path", path}, {"outcome", "failed"}, {"replacements", 0}, {"error", reason}})
                          << "\n";
            } else {
                std::cerr << path << ": error: " << reason << "\n";
            }
        }
        drawProgress();
    }

    // Takes the progress line off the terminal.
    void clearProgress() {
        if (!shown_) return;
        std::cerr << "\r\033[K" << std::flush;
        shown_ = false;
    }

    int64_t changed = 0;
    int64_t failed = 0;

private:
    using Clock = std::chrono::steady_clock;

    // At most ten times a second, once the run has taken more than a second.
    void drawProgress() {
        if (!progress_) return;
        const Clock::time_point now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - lastDrawn_ < std::chrono::milliseconds(100)) return;
        lastDrawn_ = now;
        std::cout << std::flush;
        std::cerr << "\r" << done_ << " of " << total_ << " files, " << changed << " changed" << std::flush;
        shown_ = true;
    }

    const Settings& settings_;
    const Batch* batch_ = nullptr;
    size_t total_;
    size_t done_ = 0;
    bool progress_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
};

std::vector<Text> extensionList(const std::string& list) {
    std::vector<Text> extensions;
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string extension = list.substr(start, comma - start);
        if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
        if (!extension.empty()) extensions.push_back(textFromUtf8(extension));
        start = comma + 1;
    }
    return extensions;
}

int usage(const std::string& message) {
    std::cerr << "rif: " << message << "\n";
    return usageError;
}

int run(const Settings& settings) {
    PreparedRow row;
    row.options = {settings.regex, !settings.ignoreCase, settings.emptyLines};
    row.search = textFromUtf8(settings.search);
    row.replacement = textFromUtf8(settings.replacement);
    // The same checks as the window's, in the same order.
    if (settings.emptyLines) {
        if (!settings.regex) return usage("--empty-lines needs --regex");
        row.search += u"\r\n";
    }
    if (row.search.empty()) return usage("the search text is empty");
    if (settings.regex && !compilePattern(rowPattern, row.search, compileFlags(row.options)))
        return usage("the regular expression does not compile: " + textToUtf8(compileError()));

    RewriteOptions options;
    options.ansiCharset = settings.codepage.empty() ? localeCharset() : settings.codepage;
    if (!charsetIsAvailable(options.ansiCharset)) return usage("unknown code page: " + options.ansiCharset);
    options.keepLineEnds = !settings.crlf;
    options.dryRun = settings.dryRun;
    options.keepOldText = settings.diff;

    WalkRules rules;
    rules.extensions = extensionList(settings.extensions);
    rules.namePattern = textFromUtf8(settings.name);
    rules.backupFolder = textFromUtf8(settings.backup);
    if (!namePatternCompiles(rules)) return usage("the name pattern does not compile: " + textToUtf8(compileError()));

    std::vector<Batch> batches;
    size_t total = 0;
    for (const std::string& path : settings.paths) {
        struct stat info;
        if (::stat(path.c_str(), &info) != 0) return usage("no such file or folder: " + path);
        // The walk never enters version-control metadata; named on its own, it is refused.
        const std::string metadata = versionControlMetadataOf(path);
        if (!metadata.empty())
            return usage(path + " lies inside version-control metadata (" + metadata + "); rif never changes it");
        Batch batch;
        if (S_ISDIR(info.st_mode)) {
            batch.root = textFromUtf8(path.back() == '/' ? path : path + "/");
            walkFolder(batch.root, Text(), rules, batch.relatives);
        } else {
            const size_t slash = path.find_last_of('/');
            batch.root = slash == std::string::npos ? Text() : textFromUtf8(path.substr(0, slash + 1));
            batch.relatives.push_back(textFromUtf8(slash == std::string::npos ? path : path.substr(slash + 1)));
        }
        total += batch.relatives.size();
        batches.push_back(std::move(batch));
    }

    Report report(settings, total);
    RunTotals totals;
    int64_t searched = 0;
    // One journal and one record of the files reached for every PATH: the whole command is
    // undone at once, and a file reached under several PATHs is changed once.
    RunJournal journal(settings.backup);
    RunSession session(&journal);
    for (const Batch& batch : batches) {
        report.useBatch(batch);
        switch (runOverFiles(batch.root, batch.relatives, row, options, rules.backupFolder, report, totals, &session,
                             settings.jobs)) {
            case RunStart::ran: break;
            case RunStart::backupOverlap:
                return usage("the backup folder must not hold the files to be changed: " + settings.backup);
            case RunStart::backupBusy:
                return usage("another run or undo is using the backup folder " + settings.backup +
                             "; nothing was changed");
        }
        searched += totals.searched;
    }
    journal.finish();
    report.clearProgress();
    std::cout << std::flush;
    if (settings.json) {
        std::cout << jsonLine({{"changed", report.changed}, {"failed", report.failed}, {"searched", searched}}) << "\n";
    } else if (!settings.quiet) {
        std::cerr << report.changed << " files " << (settings.dryRun ? "would change" : "changed") << ", "
                  << report.failed << " failed, " << searched << " searched\n";
    }
    if (report.failed > 0) return someFailed;
    return report.changed > 0 ? someChanged : nothingFound;
}

// Why the undo left a file alone.
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

// Reports each file as the undo is done with it.
class UndoReport : public UndoObserver {
public:
    explicit UndoReport(const Settings& settings) : settings_(settings) {}
    void fileDone(size_t, const JournalEntry& entry, RestoreOutcome outcome) override {
        const char* reason = leftAloneReason(outcome);
        if (settings_.json && (reason != nullptr || outcome == RestoreOutcome::restored)) {
            nlohmann::json line = {{"path", entry.path}, {"outcome", reason ? "left alone" : "restored"}};
            if (reason) line["error"] = reason;
            std::cout << jsonLine(line) << "\n";
        } else if (reason != nullptr) {
            std::cerr << entry.path << ": error: left alone: " << reason << "\n";
        } else if (outcome == RestoreOutcome::restored && !settings_.quiet) {
            std::cout << entry.path << ": restored\n";
        }
    }

private:
    const Settings& settings_;
};

int undo(const Settings& settings) {
    const Journal journal = readJournal(settings.undo);
    switch (journal.state) {
        case Journal::State::none:
            std::cerr << "rif: nothing to undo: no journal in " << settings.undo << "\n";
            return nothingFound;
        case Journal::State::spent:
            std::cerr << "rif: nothing to undo: the last run in " << settings.undo << " is undone already\n";
            return nothingFound;
        case Journal::State::damaged:
            return usage("the journal in " + settings.undo + " is damaged (" + journal.problem +
                         "); nothing was restored");
        case Journal::State::ready: break;
    }
    if (!journal.finished)
        std::cerr << "rif: the run that wrote the journal in " << settings.undo
                  << " did not finish (or its journal was cut short); the journal names " << journal.named
                  << (journal.named == 1 ? " file\n" : " files\n");
    UndoReport report(settings);
    UndoTotals totals;
    const UndoEnd end = undoRun(settings.undo, journal, report, totals);
    std::cout << std::flush;
    if (end == UndoEnd::busy)
        return usage("another run or undo is using the backup folder " + settings.undo + "; nothing was restored");
    const bool spent = end == UndoEnd::done;
    if (!spent) std::cerr << "rif: the journal in " << settings.undo << " could not be marked as undone\n";
    if (settings.json) {
        std::cout << jsonLine({{"restored", totals.restored}, {"left_alone", totals.leftAlone}}) << "\n";
    } else if (!settings.quiet) {
        std::cerr << totals.restored << " files restored, " << totals.leftAlone << " left alone\n";
    }
    if (totals.leftAlone > 0 || !spent) return someFailed;
    return totals.restored > 0 ? someChanged : nothingFound;
}

}  // namespace

int main(int argc, char** argv) {
    useUtf8Locale();
    Settings settings;
    CLI::App app{"Find and replace in many text files.\n\n"
                 "Every file below each folder PATH (at any depth, by extension and name) and every file\n"
                 "PATH is searched; each file in which SEARCH occurs is rewritten with REPLACEMENT, safely:\n"
                 "the new contents go into a new file that replaces the old one only when complete.\n"
                 "Version-control metadata (.git, .hg, .svn, .bzr, _darcs and CVS folders, .git files)\n"
                 "is never entered, and a PATH inside it is refused.\n\n"
                 "With --backup DIR, the run keeps a journal in DIR, and rif --undo DIR puts the files\n"
                 "back as they were before it.\n\n"
                 "Exit status: 0 some file changed (or would, with --dry-run; restored, with --undo),\n"
                 "1 nothing found (nothing to undo), 2 usage error, a pattern that does not compile, a\n"
                 "refused run or a damaged journal, 3 some file failed (or was left alone by --undo).",
                 "rif"};
    app.add_option("SEARCH", settings.search, "the text to find (a regular expression with --regex)");
    app.add_option("REPLACEMENT", settings.replacement, "what to put in its place (\\1: group 1 with --regex)");
    app.add_option("PATH", settings.paths, "folders to walk and files to take");
    app.add_flag("-e,--regex", settings.regex, "SEARCH is a regular expression (PCRE2)");
    app.add_flag("-i,--ignore-case", settings.ignoreCase, "ignore letter case");
    app.add_flag("--empty-lines", settings.emptyLines, "also remove the line break after each match (needs --regex)");
    app.add_option("-x,--ext", settings.extensions, "extensions taken from folders, comma-separated; '*' takes every file")
        ->capture_default_str();
    app.add_option("--name", settings.name, "a regular expression the whole file name without its extension must match");
    app.add_option("-b,--backup", settings.backup,
                   "copy each file into DIR before changing it, under its path below its PATH");
    app.add_option("--codepage", settings.codepage, "the character set of files without a byte-order mark "
                                                    "(default: the locale's)");
    app.add_flag("--crlf", settings.crlf, "write CR LF after every line (default: keep each file's line ends)");
    app.add_flag("--dry-run", settings.dryRun, "change nothing; report what would change");
    app.add_flag("--diff", settings.diff, "print a unified diff of each change instead of its line");
    app.add_flag("--json", settings.json, "JSON Lines on standard output: one object per changed or failed file, "
                                          "then a summary");
    app.add_flag("-q,--quiet", settings.quiet, "report errors only");
    app.add_option("-j,--jobs", settings.jobs, "files done at once, on as many threads (default: one per core, "
                   "at most 8; 1: one file after another); the results are the same")
        ->check(CLI::Range(1u, 64u));
    app.add_option("--undo", settings.undo,
                   "undo the last run that made backups into DIR: put back every file it changed that "
                   "still holds what it wrote")
        ->option_text("DIR");
    app.set_version_flag("--version", "rif " RIF_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : usageError;
    }
    if (!settings.undo.empty()) {
        if (!settings.search.empty() || !settings.paths.empty())
            return usage("--undo takes no SEARCH, REPLACEMENT or PATH");
        return undo(settings);
    }
    if (settings.paths.empty()) return usage("SEARCH, REPLACEMENT and at least one PATH are required");
    return run(settings);
}
