#include "engine/run.h"

#include <string>

#include "engine/backup.h"

RunStart runOverFiles(const Text& root, const std::vector<Text>& relatives, const PreparedRow& row,
                      const RewriteOptions& options, const Text& backupFolder, RunObserver& observer,
                      RunTotals& totals) {
    totals = RunTotals{};
    const bool backups = !backupFolder.empty() && !options.dryRun;
    if (backups && backupFolderHoldsFilesOf(backupFolder, root, relatives)) return RunStart::backupOverlap;
    observer.started();
    FileRewriter rewriter(options);
    BackupCopier copier(root, backupFolder);
    const std::string rootBytes = textToUtf8(root);
    std::string path;
    for (size_t i = 0; i < relatives.size(); ++i) {
        const Text& relative = relatives[i];
        path = rootBytes;
        appendTextToUtf8(relative, path);
        const BeforeWrite backup = [&] { return !backups || copier.copy(relative); };
        const FileOutcome outcome = rewriter.rewrite(path, row, backup);
        ++totals.searched;
        if (outcome == FileOutcome::changed) ++totals.changed;
        if (outcome == FileOutcome::failed || outcome == FileOutcome::unreadable) ++totals.failed;
        observer.fileDone(i, outcome, rewriter);
    }
    return RunStart::ran;
}
