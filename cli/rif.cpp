// rif: find and replace in many text files from the command line, on the same engine as
// the window: the same walk, the same search, the same safe rewrite and backups.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/rif_arguments.h"
#include "cli/rif_colour.h"
#include "cli/rif_files.h"
#include "cli/rif_input.h"
#include "cli/rif_json.h"
#include "cli/rif_options.h"
#include "cli/rif_report.h"
#include "engine/line_pattern.h"
#include "engine/regex.h"
#include "engine/run.h"
#include "engine/run_journal.h"
#include "engine/text_file.h"

namespace {

// Makes the backup folder, with its parents, where it is missing. An empty string, or why
// it cannot serve (a file stands there, or it cannot be made), before any file is touched.
std::string prepareBackupFolder(const std::string& folder) {
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) return std::string();
    if (std::filesystem::exists(std::filesystem::symlink_status(folder, error)))
        return "the backup folder " + folder + " is not a folder";
    if (!std::filesystem::create_directories(folder, error) && error)
        return "the backup folder " + folder + " cannot be made: " + error.message();
    return std::string();
}

// The first "$1" or "${1}" (a digit or digits) of a replacement, the group reference of
// other tools; empty when it holds none.
std::string dollarReference(const std::string& replacement) {
    for (size_t at = replacement.find('$'); at != std::string::npos; at = replacement.find('$', at + 1)) {
        size_t end = at + 1;
        const bool braced = end < replacement.size() && replacement[end] == '{';
        if (braced) ++end;
        const size_t digits = end;
        while (end < replacement.size() && replacement[end] >= '0' && replacement[end] <= '9') ++end;
        if (end == digits) continue;
        if (braced && (end >= replacement.size() || replacement[end] != '}')) continue;
        return replacement.substr(at, end - at + (braced ? 1 : 0));
    }
    return std::string();
}

int run(const Settings& settings) {
    PreparedRow row;
    row.options = {settings.regex, !settings.ignoreCase, settings.emptyLines};
    // The search is read over the files' lines as they have them (line_pattern.h).
    row.search = settings.regex ? linePattern(textFromUtf8(settings.search)) : lineSearch(textFromUtf8(settings.search));
    row.replacement = textFromUtf8(settings.replacement);
    // The same checks as the window's, in the same order.
    if (settings.emptyLines) {
        if (!settings.regex) return usage("--empty-lines needs --regex");
        row.search += u"\r\n";
    }
    if (row.search.empty()) return usage("the search text is empty");
    if (settings.regex) {
        CompiledPattern compiled = compilePattern(row.search, lineCompileFlags(row.options));
        if (compiled.pattern == nullptr)
            return usage("the regular expression does not compile: " + textToUtf8(compiled.error));
        row.pattern = std::move(compiled.pattern);
        row.utf8Pattern = compileUtf8Pattern(row.search, lineCompileFlags(row.options));
    }
    // A "$1" stays as it is: it may be meant so.
    const std::string dollar = settings.regex ? dollarReference(settings.replacement) : std::string();
    if (!dollar.empty() && !settings.quiet)
        std::cerr << "rif: note: REPLACEMENT holds " << dollar << ", which is put in as it is; rif's group "
                  << "reference is \\1 (group 1)\n";

    RewriteOptions options;
    options.ansiCharset = settings.codepage.empty() ? localeCharset() : settings.codepage;
    if (!charsetIsAvailable(options.ansiCharset)) return usage("unknown code page: " + options.ansiCharset);
    options.keepLineEnds = !settings.crlf;
    options.dryRun = settings.dryRun;
    options.keepBytes = settings.diff && !settings.json;
    options.lastLineEndSearched = true;
    if (settings.paths.front() == "-") return filterStandardInput(settings, row, options);

    const WalkRules rules = walkRulesOf(settings);
    Text nameError;
    if (!namePatternCompiles(rules, &nameError))
        return usage("the name pattern does not compile: " + textToUtf8(nameError));

    std::vector<Batch> batches;
    WalkCounts leftOut;
    const std::string refused = gatherFiles(settings, rules, batches, leftOut);
    if (!refused.empty()) return usage(refused);
    if (!settings.backup.empty() && !settings.dryRun) {
        const std::string unusable = prepareBackupFolder(settings.backup);
        if (!unusable.empty()) return usage(unusable);
    }
    size_t total = 0;
    for (const Batch& batch : batches) total += batch.relatives.size();
    // Nothing to search: say which filters left every file out.
    if (total == 0) {
        if (!settings.quiet) std::cerr << "rif: " << noFilesSearched(settings, leftOut) << "\n";
        if (settings.json)
            std::cout << jsonLine("summary", {{"changed", 0}, {"failed", 0}, {"searched", 0}, {"dry_run", settings.dryRun}})
                      << "\n";
        return nothingFound;
    }

    Report report(settings, coloursFor(settings.color), total);
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
        std::cout << jsonLine("summary", {{"changed", report.changed},
                                          {"failed", report.failed},
                                          {"searched", searched},
                                          {"dry_run", settings.dryRun}})
                  << "\n";
    } else if (!settings.quiet) {
        std::cerr << report.changed << " files " << (settings.dryRun ? "would change" : "changed") << ", "
                  << report.failed << " failed, " << searched << " searched\n";
    }
    if (report.failed > 0) return someFailed;
    return report.changed > 0 ? someChanged : nothingFound;
}

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
    UndoReport report(settings, coloursFor(settings.color));
    UndoTotals totals;
    const UndoEnd end = undoRun(settings.undo, journal, report, totals);
    std::cout << std::flush;
    if (end == UndoEnd::busy)
        return usage("another run or undo is using the backup folder " + settings.undo + "; nothing was restored");
    const bool spent = end == UndoEnd::done;
    if (!spent) std::cerr << "rif: the journal in " << settings.undo << " could not be marked as undone\n";
    if (settings.json) {
        std::cout << jsonLine("summary", {{"restored", totals.restored}, {"left_alone", totals.leftAlone}}) << "\n";
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
    int exitCode = 0;
    if (!parseArguments(argc, argv, settings, exitCode)) return exitCode;
    const std::string undecodable = decodeArguments(settings);
    if (!undecodable.empty()) return usage(undecodable);
    if (!settings.undo.empty()) {
        if (!settings.search.empty() || !settings.paths.empty())
            return usage("--undo takes no SEARCH, REPLACEMENT or PATH");
        return undo(settings);
    }
    if (settings.paths.empty()) return usage("SEARCH, REPLACEMENT and at least one PATH are required");
    // Standard input is a filter of its own: its result goes to standard output.
    if (std::find(settings.paths.begin(), settings.paths.end(), "-") != settings.paths.end()) {
        if (settings.paths.size() > 1) return usage("- (standard input) takes no other PATH");
        for (const auto& [given, name] : {std::pair{!settings.backup.empty(), "--backup"},
                                          {settings.dryRun, "--dry-run"}, {settings.diff, "--diff"},
                                          {settings.json, "--json"}})
            if (given) return usage(std::string("- (standard input) cannot be used with ") + name);
    }
    return run(settings);
}
