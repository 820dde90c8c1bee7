#include "engine/file_set.h"

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/app_state.h"
#include "engine/messages.h"
#include "engine/regex.h"
#include "ui/toolkit/toolkit.h"

namespace {

// What "Add folders" takes, read once before a walk.
struct WalkRules {
    bool extensionOn[4] = {false, false, false, false};
    bool filterActive = false;
};

const char* const extensionKeys[4] = {"txt", "hta", "htm", "htl"};
const char16_t* const extensionNames[4] = {u"txt", u"hta", u"htm", u"html"};

WalkRules readRules() {
    WalkRules rules;
    for (int k = 0; k < 4; ++k) rules.extensionOn[k] = tk::getGadgetState(app.extensions[extensionKeys[k]].gadget) == 1;
    const Text filter = lowerCase(tk::getGadgetText(app.g.workCombo));
    if (!filter.empty()) {
        rules.filterActive = true;
        // The group makes the filter match the whole name even when it has alternatives:
        // 'index|main' takes 'index' and 'main' but not 'index2'. A filter that does not
        // compile leaves the slot empty, so it takes no file.
        compilePattern(nameFilter, u"^(?:" + filter + u")$", 0);
    }
    return rules;
}

bool takes(const WalkRules& rules, const Text& relative, const Text& name) {
    const Text extension = lowerCase(extensionPart(relative));
    bool wanted = false;
    for (int k = 0; k < 4; ++k) wanted = wanted || (rules.extensionOn[k] && extension == extensionNames[k]);
    if (!wanted) return false;
    return !rules.filterActive || matchesAnywhere(nameFilter, lowerCase(fileNamePart(name, true)));
}

void appendFile(const Text& relative) {
    app.filePaths.push_back(relative);
    tk::addGadgetItem(app.g.fileList, -1, app.newLine + relative);
}

struct Entry {
    Text name;
    Text sortKey;
    std::string bytes;
};

// The entries of a folder sorted by name ignoring case (names that differ only in case by
// their bytes), "." and ".." left out; false when the folder cannot be read.
bool listFolder(const std::string& folder, std::vector<Entry>& entries) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string bytes(entry->d_name);
        if (bytes == "." || bytes == "..") continue;
        Text name = textFromUtf8(bytes);
        Text key = lowerCase(name);
        entries.push_back({std::move(name), std::move(key), bytes});
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.bytes < b.bytes;
    });
    return true;
}

// Depth first: a sub-folder's files come before the later entries of its parent. A
// symbolic link to a folder is not followed (links could form a cycle); every other entry
// counts as a file.
void walk(const WalkRules& rules, const std::string& folder, const Text& relativeFolder) {
    std::vector<Entry> entries;
    if (!listFolder(folder, entries)) return;
    for (const Entry& entry : entries) {
        const std::string path = folder + entry.bytes;
        struct stat info;
        const bool isFolder = ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (isFolder) {
            walk(rules, path + "/", relativeFolder + entry.name + u"/");
            tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
            continue;
        }
        if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) continue;
        const Text relative = relativeFolder + entry.name;
        if (takes(rules, relative, entry.name)) appendFile(relative);
    }
}

}  // namespace

void walkFolder(const Text& folder) {
    const WalkRules rules = readRules();
    std::string path = textToUtf8(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    const Text& root = app.paths.root;
    const Text relative = folder.size() > root.size() && folder.compare(0, root.size(), root) == 0
                              ? folder.substr(root.size())
                              : Text();
    walk(rules, path, relative.empty() || relative.back() == u'/' ? relative : relative + u"/");
}

void addFolder() {
    const Text chosen = tk::pathRequester(u"To choose a folder with files", app.paths.folders);
    // Cancelling keeps the set that was there, rows and all.
    if (chosen.empty()) return;
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
    app.filePaths.clear();
    tk::clearGadgetItems(app.g.fileList);
    for (size_t i = 1; i < chosen.size(); ++i) {
        const Text name = fileNamePart(chosen[i], false);
        if (!name.empty()) appendFile(name);
    }
    app.paths.files = chosen.front();
    app.paths.root = pathPart(chosen.front());
    const Text first = fileNamePart(chosen.front(), false);
    if (!first.empty()) appendFile(first);
    tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
}
