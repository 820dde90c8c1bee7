#include "app/file_set.h"

#include <chrono>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/messages.h"
#include "app/progress.h"
#include "app/run.h"
#include "engine/file_walk.h"
#include "ui/toolkit/toolkit.h"

namespace {

const char* const extensionKeys[4] = {"txt", "hta", "htm", "htl"};
const char16_t* const extensionNames[4] = {u"txt", u"hta", u"htm", u"html"};

// The walk's rules from the toggles, the name-pattern field and the backup folder in force.
WalkRules readRules() {
    WalkRules rules;
    for (int k = 0; k < 4; ++k)
        if (tk::getGadgetState(app.extensions[extensionKeys[k]].gadget) == 1) rules.extensions.push_back(extensionNames[k]);
    rules.namePattern = tk::getGadgetText(app.g.workCombo);
    rules.backupFolder = tk::getGadgetText(app.g.backupTree);
    return rules;
}

void appendFile(const Text& relative) {
    app.filePaths.push_back(relative);
    tk::addGadgetItem(app.g.fileList, -1, app.newLine + relative);
}

// The walk's files go into the list in large batches (one insertion for many rows costs
// far less than one per row), as rows that show the file set's own paths (app.filePaths
// only grows until the list is cleared with it), and the counter is set at most every
// tenth of a second: the window is not painted while the walk goes on, so rows and counter
// set folder by folder would only cost time. finish() puts in what is left.
class FileListRows : public WalkObserver {
public:
    void taken(size_t from, size_t to) override {
        if (from != pendingTo_) flush();
        if (pendingFrom_ == pendingTo_) pendingFrom_ = from;
        pendingTo_ = to;
        if (pendingTo_ - pendingFrom_ >= batchRows) flush();
    }
    void leftFolder(size_t count) override {
        ++folders_;
        const Clock::time_point now = Clock::now();
        if (now - counterSet_ < counterInterval) return;
        counterSet_ = now;
        tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(count)));
        progress_.update(folders_);
        // Painted once it shows; the window's other events are dropped, as during a run.
        if (!tk::isGadgetHidden(app.g.progressBar)) takeStopRequests(0);
    }
    void finish() { flush(); }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t batchRows = 16384;
    static constexpr std::chrono::milliseconds counterInterval{100};

    void flush() {
        if (pendingTo_ > pendingFrom_)
            tk::addGadgetItemsFrom(app.g.fileList, app.filePaths, pendingFrom_, pendingTo_ - pendingFrom_);
        pendingFrom_ = pendingTo_;
    }

    size_t pendingFrom_ = 0;
    size_t pendingTo_ = 0;
    int64_t folders_ = 0;
    WorkProgress progress_{0};
    Clock::time_point counterSet_ = Clock::now();
};

// The name of a chosen file and its folder: on Linux only "/" separates, every other
// byte is part of a name.
Text nameOfChosen(const Text& path) {
    const size_t slash = path.find_last_of(u'/');
    return slash == Text::npos ? path : path.substr(slash + 1);
}
Text folderOfChosen(const Text& path) {
    const size_t slash = path.find_last_of(u'/');
    return slash == Text::npos ? Text() : path.substr(0, slash + 1);
}

}  // namespace

void walkFolder(const Text& folder) {
    const Text& root = app.paths.root;
    const Text relative = folder.size() > root.size() && folder.compare(0, root.size(), root) == 0
                              ? folder.substr(root.size())
                              : Text();
    FileListRows rows;
    ::walkFolder(folder, relative, readRules(), app.filePaths, &rows);
    rows.finish();
}

void addFolder() {
    const Text chosen = tk::pathRequester(u"To choose a folder with files", app.paths.folders);
    // Cancelling keeps the set that was there, rows and all.
    if (chosen.empty()) return;
    // A repository's own metadata is never a set: the choice is refused, the set kept.
    if (!versionControlMetadataOf(textToUtf8(chosen)).empty()) {
        showError(10, chosen);
        return;
    }
    app.filePaths.clear();
    app.paths.folders = chosen;
    app.paths.root = chosen;
    tk::clearGadgetItems(app.g.fileList);
    walkFolder(app.paths.root);
    if (!app.filePaths.empty()) {
        tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
    } else {
        tk::setGadgetText(app.g.txt1, u"0");
        showError(4, chosen);
    }
}

void addFiles() {
    const std::vector<Text> chosen = tk::openFileRequester(
        Text(), app.paths.files, u"TXT File (txt, hta, htm, html)|*.txt;*.hta;*.htm;*.html", true);
    if (chosen.empty()) return;
    // The chosen files share one folder.
    if (!versionControlMetadataOf(textToUtf8(chosen.front())).empty()) {
        showError(10, folderOfChosen(chosen.front()));
        return;
    }
    app.filePaths.clear();
    tk::clearGadgetItems(app.g.fileList);
    for (size_t i = 1; i < chosen.size(); ++i) {
        const Text name = nameOfChosen(chosen[i]);
        if (!name.empty()) appendFile(name);
    }
    app.paths.files = chosen.front();
    app.paths.root = folderOfChosen(chosen.front());
    const Text first = nameOfChosen(chosen.front());
    if (!first.empty()) appendFile(first);
    tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
}
