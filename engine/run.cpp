#include "engine/run.h"

#include <optional>
#include <string>

#include "engine/backup.h"

RunStart runOverFiles(const Text& root, const std::vector<Text>& relatives, const PreparedRow& row,
                      const RewriteOptions& options, const Text& backupFolder, RunObserver& observer,
                      RunTotals& totals, RunJournal* journal) {
    totals = RunTotals{};
    const bool backups = !backupFolder.empty() && !options.dryRun;
    if (backups && backupFolderHoldsFilesOf(backupFolder, root, relatives)) return RunStart::backupOverlap;
    observer.started();
    FileRewriter rewriter(options);
    BackupCopier copier(root, backupFolder);
    std::optional<RunJournal> ownJournal;
    if (backups && journal == nullptr) journal = &ownJournal.emplace(textToUtf8(backupFolder));
    const std::string rootBytes = textToUtf8(root);
    std::string path;
    std::string backupPath;
    for (size_t i = 0; i < relatives.size(); ++i) {
        const Text& relative = relatives[i];
        path = rootBytes;
        appendTextToUtf8(relative, path);
        const BeforeWrite backup = [&] {
            if (!backups) return true;
            backupPath = textToUtf8(relative);
            return journal->reserve(backupPath) && copier.copy(relative);
        };
        const BeforeRename note = [&](const Fingerprint& written) { return journal->record(path, backupPath, written); };
        const FileOutcome outcome = rewriter.rewrite(path, row, backup, backups ? note : BeforeRename());
        ++totals.searched;
        if (outcome == FileOutcome::changed) ++totals.changed;
        if (outcome == FileOutcome::failed || outcome == FileOutcome::unreadable) ++totals.failed;
        observer.fileDone(i, outcome, rewriter);
        if (i + 1 < relatives.size() && !observer.keepGoing()) {
            totals.stopped = true;
            break;
        }
    }
    return RunStart::ran;
}
