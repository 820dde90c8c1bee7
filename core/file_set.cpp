#include "core/file_set.h"

#include <algorithm>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "core/app_state.h"
#include "core/messages.h"
#include "engine/real_path.h"
#include "engine/regex.h"
#include "ui/toolkit/toolkit.h"

namespace {

// What "Add folders" takes, read once before a walk.
struct WalkRules {
    bool extensionOn[4] = {false, false, false, false};
    bool filterActive = false;
    std::string root;        // the chosen folder, links resolved
    std::string backup;      // the backup folder in force, links resolved (empty if none)
    std::string skipFolder;  // the backup folder as the walk meets it, when it lies below
                             // the chosen folder: its files are copies, never the site's
};

const char* const extensionKeys[4] = {"txt", "hta", "htm", "htl"};
const char16_t* const extensionNames[4] = {u"txt", u"hta", u"htm", u"html"};

// folder is the chosen folder as the walk names it (with a final "/").
WalkRules readRules(const std::string& folder) {
    WalkRules rules;
    rules.root = resolvedPath(folder);
    rules.backup = resolvedPath(textToUtf8(tk::getGadgetText(app.g.backupTree)));
    if (!rules.root.empty() && !rules.backup.empty() && rules.backup != rules.root &&
        pathIsWithin(rules.backup, rules.root))
        // The walk goes into folders only, never through links, so the folder it meets at
        // the backup folder's place below the root is the backup folder.
        rules.skipFolder = folder + rules.backup.substr(rules.root.size() + (rules.root == "/" ? 0 : 1)) + "/";
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

// name is the file's own name (its extension is that of its path below the root folder).
bool takes(const WalkRules& rules, const Text& name) {
    const Text extension = lowerCase(extensionPart(name));
    bool wanted = false;
    for (int k = 0; k < 4; ++k) wanted = wanted || (rules.extensionOn[k] && extension == extensionNames[k]);
    if (!wanted) return false;
    return !rules.filterActive || matchesAnywhere(nameFilter, lowerCase(fileNamePart(name, true)));
}

void appendFile(const Text& relative) {
    app.filePaths.push_back(relative);
    tk::addGadgetItem(app.g.fileList, -1, app.newLine + relative);
}

// Files a walk has taken, put into the set and the list together: one list insertion for
// many rows costs far less than one per row. Flushed before the walk goes into a folder
// and when it leaves one, so the set keeps the walk's order, and nothing is shown (no
// event is handled) between a taking and its flush.
class PendingFiles {
public:
    void take(Text relative) { app.filePaths.push_back(std::move(relative)); }
    void flush() {
        const size_t end = app.filePaths.size();
        if (shown_ < end) tk::addGadgetItems(app.g.fileList, app.newLine, app.filePaths.data() + shown_, end - shown_);
        shown_ = end;
    }

private:
    size_t shown_ = app.filePaths.size();  // the entries before this one have their rows
};

struct Entry {
    Text name;
    size_t bytesAt;      // its file-system name: bytesSize bytes from bytesAt in the listing
    size_t bytesSize;
    unsigned char type;  // readdir's d_type: DT_UNKNOWN where the file system does not tell
};

// A folder's entries; their file-system names are kept together in one string.
struct Listing {
    std::string names;
    std::vector<Entry> entries;
    std::string_view bytes(const Entry& entry) const {
        return std::string_view(names).substr(entry.bytesAt, entry.bytesSize);
    }
};

// Compares as lowerCase(a) with lowerCase(b) would, without making either.
int compareIgnoringCase(TextView a, TextView b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = lowerCaseUnit(a[i]);
        const char16_t y = lowerCaseUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The entries of a folder sorted by name ignoring case (names that differ only in case by
// their bytes), "." and ".." left out; false when the folder cannot be read.
bool listFolder(const std::string& folder, Listing& listing) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return false;
    while (const dirent* entry = readdir(dir)) {
        const std::string_view bytes(entry->d_name);
        if (bytes == "." || bytes == "..") continue;
        listing.entries.push_back({textFromUtf8(bytes), listing.names.size(), bytes.size(), entry->d_type});
        listing.names += bytes;
    }
    closedir(dir);
    std::sort(listing.entries.begin(), listing.entries.end(), [&](const Entry& a, const Entry& b) {
        const int order = compareIgnoringCase(a.name, b.name);
        return order != 0 ? order < 0 : listing.bytes(a) < listing.bytes(b);
    });
    return true;
}

// What an entry is, from readdir's type where it gives one (no status is read for a folder
// or a plain file) and else from lstat.
enum class Kind { folder, link, file };

Kind kindOf(const std::string& path, const Entry& entry) {
    const unsigned char type = entry.type;
    if (type == DT_DIR) return Kind::folder;
    if (type == DT_LNK) return Kind::link;
    if (type != DT_UNKNOWN) return Kind::file;
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return Kind::file;
    return S_ISDIR(info.st_mode) ? Kind::folder : S_ISLNK(info.st_mode) ? Kind::link : Kind::file;
}

// A symbolic link is taken as the file it points to when that lies inside the chosen
// folder and outside the backup folder: a run rewrites the link's target, and must not
// reach beyond the places the user chose. A link to a folder is not followed (links could
// form a cycle). A link that points nowhere is taken: the run reports it as a file it
// could not read.
bool takesLink(const WalkRules& rules, const std::string& path) {
    const std::string target = resolvedPath(path);
    if (target.empty()) return true;
    struct stat info;
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;
    if (rules.root.empty() || !pathIsWithin(target, rules.root)) return false;
    return rules.skipFolder.empty() || !pathIsWithin(target, rules.backup);
}

// Depth first: a sub-folder's files come before the later entries of its parent. Every
// entry that is not a folder counts as a file. The backup folder is left out.
void walk(const WalkRules& rules, const std::string& folder, const Text& relativeFolder,
          PendingFiles& pending) {
    Listing listing;
    if (!listFolder(folder, listing)) return;
    std::string path;
    for (const Entry& entry : listing.entries) {
        path.assign(folder).append(listing.bytes(entry));
        const Kind kind = kindOf(path, entry);
        if (kind == Kind::folder) {
            path += '/';
            if (path == rules.skipFolder) continue;
            pending.flush();
            walk(rules, path, relativeFolder + entry.name + u"/", pending);
            tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
            continue;
        }
        if (!takes(rules, entry.name)) continue;
        if (kind == Kind::link && !takesLink(rules, path)) continue;
        pending.take(relativeFolder + entry.name);
    }
    pending.flush();
}

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
    std::string path = textToUtf8(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    const WalkRules rules = readRules(path);
    const Text& root = app.paths.root;
    const Text relative = folder.size() > root.size() && folder.compare(0, root.size(), root) == 0
                              ? folder.substr(root.size())
                              : Text();
    PendingFiles pending;
    walk(rules, path, relative.empty() || relative.back() == u'/' ? relative : relative + u"/", pending);
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
        const Text name = nameOfChosen(chosen[i]);
        if (!name.empty()) appendFile(name);
    }
    app.paths.files = chosen.front();
    app.paths.root = folderOfChosen(chosen.front());
    const Text first = nameOfChosen(chosen.front());
    if (!first.empty()) appendFile(first);
    tk::setGadgetText(app.g.txt1, numberToText(static_cast<int64_t>(app.filePaths.size())));
}
