#include "engine/file_walk.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "engine/folder_chain.h"
#include "engine/ignore_files.h"
#include "engine/ignore_rules.h"
#include "engine/real_path.h"
#include "engine/regex.h"

namespace {

// Version-control metadata: the folders of Git, Mercurial, Subversion, Bazaar, Darcs and
// CVS, and the file named .git by which a worktree or a submodule points to its repository.
// A run over a checkout changes its work files, never the history kept beside them.
constexpr std::string_view gitName = ".git";

bool isMetadataFolderName(std::string_view name) {
    return name == gitName || name == ".hg" || name == ".svn" || name == ".bzr" || name == "_darcs" || name == "CVS";
}

// The metadata name among the "/"-separated parts of path: a folder above its last part,
// or the last part when it is named .git, or when lastIsFolder. Empty for none.
std::string metadataPart(std::string_view path, bool lastIsFolder) {
    while (!path.empty() && path.back() == '/') path.remove_suffix(1);
    size_t start = 0;
    for (;;) {
        size_t end = path.find('/', start);
        const bool last = end == std::string_view::npos;
        if (last) end = path.size();
        const std::string_view part = path.substr(start, end - start);
        if (part == gitName || (isMetadataFolderName(part) && (!last || lastIsFolder))) return std::string(part);
        if (last) return std::string();
        start = end + 1;
    }
}

// path made absolute against the current folder, with "." and ".." taken by their names
// alone (no link is resolved) and without empty parts.
std::string lexicallyAbsolute(const std::string& path) {
    std::string whole;
    if (path.empty() || path.front() != '/') {
        if (char* here = ::getcwd(nullptr, 0)) {
            whole = here;
            std::free(here);
        }
        whole += '/';
    }
    whole += path;
    std::vector<std::string_view> parts;
    const std::string_view view(whole);
    for (size_t start = 0; start <= view.size();) {
        size_t end = view.find('/', start);
        if (end == std::string_view::npos) end = view.size();
        const std::string_view part = view.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string result;
    for (const std::string_view part : parts) result.append("/").append(part);
    return result.empty() ? std::string("/") : result;
}

// The rules of one walk, made ready once.
struct Rules {
    std::vector<Text> extensions;  // lower-cased
    bool everyExtension = false;
    bool filterActive = false;
    // The name filter's compiled pattern; null when it did not compile (it takes no file).
    std::shared_ptr<const Pattern> nameFilter;
    std::string root;        // the walked folder, links resolved
    std::string backup;      // the backup folder, links resolved (empty if none)
    std::string skipFolder;  // the backup folder as the walk meets it, when it lies below
                             // the walked folder: its files are copies, never the site's
    bool skipHidden = false;
    IgnorePatterns globs;
    bool globsSelect = false;  // some glob has no "!": files no glob matches are left out
    size_t maxDepth = SIZE_MAX;
    bool followLinks = false;
    dev_t backupDevice = 0;  // the backup folder's, with followLinks (backupInode 0: none)
    ino_t backupInode = 0;
};

Text filterPattern(const Text& namePattern) {
    // The group makes the filter match the whole name even when it has alternatives:
    // 'index|main' takes 'index' and 'main' but not 'index2'.
    return u"^(?:" + lowerCase(namePattern) + u")$";
}

// folder is the walked folder as the walk names it (with a final "/").
Rules prepare(const std::string& folder, const WalkRules& given) {
    Rules rules;
    rules.root = resolvedPath(folder);
    rules.backup = given.backupFolder.empty() ? std::string() : resolvedPath(textToUtf8(given.backupFolder));
    if (!rules.root.empty() && !rules.backup.empty() && rules.backup != rules.root &&
        pathIsWithin(rules.backup, rules.root))
        // The walk goes into folders only, never through links, so the folder it meets at
        // the backup folder's place below the root is the backup folder.
        rules.skipFolder = folder + rules.backup.substr(rules.root.size() + (rules.root == "/" ? 0 : 1)) + "/";
    for (const Text& extension : given.extensions) {
        if (extension == u"*") rules.everyExtension = true;
        rules.extensions.push_back(lowerCase(extension));
    }
    if (!given.namePattern.empty()) {
        rules.filterActive = true;
        rules.nameFilter = compilePattern(filterPattern(given.namePattern), 0).pattern;
    }
    rules.skipHidden = given.skipHidden;
    for (const std::string& glob : given.globs) rules.globs.addLine(glob);
    rules.globsSelect = rules.globs.hasPlain();
    rules.maxDepth = given.maxDepth;
    rules.followLinks = given.followLinks;
    struct stat backup;
    if (rules.followLinks && !rules.backup.empty() && ::stat(rules.backup.c_str(), &backup) == 0) {
        rules.backupDevice = backup.st_dev;
        rules.backupInode = backup.st_ino;
    }
    return rules;
}

// An entry of a folder: where its names lie in the folder's Listing.
struct Entry {
    // The first four units of the lower-cased name, the first one highest, 0 past its end (no
    // name holds a zero): enough to order most pairs of names without reading them.
    uint64_t key;
    size_t bytesAt;      // its file-system name: bytesSize bytes from bytesAt in names
    size_t textAt;       // its name as a text: textSize units from textAt in text and lower
    uint32_t bytesSize;  // a name is at most NAME_MAX bytes
    uint32_t textSize;
    unsigned char type;  // readdir's d_type: DT_UNKNOWN where the file system does not tell
};

// A folder's entries. Their file-system names are kept together in one string, each
// followed by a zero byte, so that each can be handed to the system as it is; their names
// as texts, as they are and lower-cased, in one text each. A walk keeps one listing per
// depth and fills it again for each folder at that depth, so that its storage is reused.
struct Listing {
    std::string names;
    Text text;
    Text lower;
    std::vector<Entry> entries;
    IgnoreFileEntries ignoreFiles;
    std::string_view bytes(const Entry& entry) const {
        return std::string_view(names).substr(entry.bytesAt, entry.bytesSize);
    }
    const char* systemName(const Entry& entry) const { return names.c_str() + entry.bytesAt; }
    TextView name(const Entry& entry) const { return TextView(text).substr(entry.textAt, entry.textSize); }
    TextView lowerName(const Entry& entry) const { return TextView(lower).substr(entry.textAt, entry.textSize); }
    // The lower-cased form of part, a view into name(entry).
    TextView lowered(const Entry& entry, TextView part) const {
        if (part.empty()) return TextView();
        return lowerName(entry).substr(static_cast<size_t>(part.data() - (text.data() + entry.textAt)), part.size());
    }
};

// The entry is a file of listing (its extension is that of its path below the root folder).
bool takesExtension(const Rules& rules, const Listing& listing, const Entry& entry) {
    if (rules.everyExtension) return true;
    const TextView extension = listing.lowered(entry, extensionView(listing.name(entry)));
    for (const Text& taken : rules.extensions)
        if (extension == taken) return true;
    return false;
}

// nameFilter is the walk's matcher of rules.nameFilter.
bool takesName(const Rules& rules, Matcher& nameFilter, const Listing& listing, const Entry& entry) {
    return !rules.filterActive ||
           nameFilter.matchesAnywhere(listing.lowered(entry, fileNameView(listing.name(entry), true)));
}

// Adds the entry called name (its d_type is type) to listing, "." and ".." left out.
void addEntry(Listing& listing, const char* name, unsigned char type) {
    const std::string_view bytes(name);
    if (bytes == "." || bytes == "..") return;
    if (bytes.front() == '.') {
        if (bytes == ".gitignore") listing.ignoreFiles.gitignore = true;
        else if (bytes == ".ignore") listing.ignoreFiles.ignore = true;
        else if (bytes == gitName) listing.ignoreFiles.git = true;
    }
    listing.entries.push_back({0, listing.names.size(), 0, static_cast<uint32_t>(bytes.size()), 0, type});
    listing.names += bytes;
    listing.names += '\0';
}

// Fills listing with the entries of a folder open at fd (and not read yet) sorted by name
// ignoring case (names that differ only in case by their bytes), "." and ".." left out.
// The entries are read straight into buffer, as many at a time as it holds; an error ends
// the listing as the end of the folder does.
void listFolder(int fd, Listing& listing, std::vector<uint64_t>& buffer) {
    listing.names.clear();
    listing.entries.clear();
    listing.ignoreFiles = IgnoreFileEntries();
    const size_t bufferBytes = buffer.size() * sizeof(uint64_t);
    char* const records = reinterpret_cast<char*>(buffer.data());
    for (;;) {
        const ssize_t read = ::getdents64(fd, records, bufferBytes);
        if (read <= 0) break;
        for (ssize_t at = 0; at < read;) {
            const auto* entry = reinterpret_cast<const dirent64*>(records + at);
            at += entry->d_reclen;
            addEntry(listing, entry->d_name, entry->d_type);
        }
    }
    // All names decoded at once, zero bytes and all: a zero byte is never part of a UTF-8
    // sequence, so each name decodes as it would alone, and ends at a zero unit. Where the
    // text is as long as the bytes, every byte became one unit and the names lie where their
    // bytes do.
    listing.text.resize(listing.names.size());
    const char16_t* const end = decodeUtf8Into(listing.names, listing.text.data());
    listing.text.resize(static_cast<size_t>(end - listing.text.data()));
    const bool sameLength = listing.text.size() == listing.names.size();
    size_t at = 0;
    for (Entry& entry : listing.entries) {
        entry.textAt = sameLength ? entry.bytesAt : at;
        entry.textSize = sameLength ? entry.bytesSize
                                    : static_cast<uint32_t>(TextView(listing.text).find(u'\0', at) - at);
        at = entry.textAt + entry.textSize + 1;
    }
    listing.lower.resize(listing.text.size());
    lowerCaseInto(listing.text, listing.lower.data());
    for (Entry& entry : listing.entries) {
        const TextView lower = listing.lowerName(entry);
        uint64_t key = 0;
        for (size_t i = 0; i < 4; ++i) key = key << 16 | (i < lower.size() ? lower[i] : 0);
        entry.key = key;
    }
    std::sort(listing.entries.begin(), listing.entries.end(), [&](const Entry& a, const Entry& b) {
        if (a.key != b.key) return a.key < b.key;
        const int order = listing.lowerName(a).compare(listing.lowerName(b));
        return order != 0 ? order < 0 : listing.bytes(a) < listing.bytes(b);
    });
}

// What an entry of the folder the walk is in is, from readdir's type where it gives one (no
// status is read for a folder or a plain file) and else from the entry's own status.
enum class Kind { folder, link, file };

Kind kindOf(FolderChain& chain, const char* name, unsigned char type) {
    if (type == DT_DIR) return Kind::folder;
    if (type == DT_LNK) return Kind::link;
    if (type != DT_UNKNOWN) return Kind::file;
    struct stat info;
    const int folder = chain.descriptor();
    if (folder < 0 || ::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return Kind::file;
    return S_ISDIR(info.st_mode) ? Kind::folder : S_ISLNK(info.st_mode) ? Kind::link : Kind::file;
}

// A symbolic link is taken as the file it points to when that lies inside the chosen
// folder, outside its version-control metadata and outside the backup folder: a run
// rewrites the link's target, and must not reach beyond the places the user chose, nor
// into what the walk never enters. A link to a folder is not followed (links could form a
// cycle) unless the rules follow links. A link that points nowhere is taken: the run
// reports it as a file it could not read.
bool takesLink(const Rules& rules, const std::string& path, WalkCounts& counts) {
    const std::string target = resolvedPath(path);
    if (target.empty()) return true;
    struct stat info;
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        ++counts.linksToFolders;
        return false;
    }
    if (rules.root.empty() || !pathIsWithin(target, rules.root)) return false;
    const size_t below = std::min(target.size(), rules.root == "/" ? size_t{1} : rules.root.size() + 1);
    if (!metadataPart(std::string_view(target).substr(below), false).empty()) return false;
    return rules.skipFolder.empty() || !pathIsWithin(target, rules.backup);
}

// When the rules follow links, a link is taken (a link to a file) or entered (a link to a
// folder) wherever it leads, but never into the backup folder or version-control metadata.
bool followsLink(const Rules& rules, const std::string& path, bool toFolder) {
    const std::string target = resolvedPath(path);
    if (target.empty()) return !toFolder;
    if (!rules.backup.empty() && pathIsWithin(target, rules.backup)) return false;
    return metadataPart(target, toFolder).empty();
}

// True when the entry called name of the folder the walk is in is a link that leads to a
// folder.
bool linkLeadsToFolder(FolderChain& chain, const char* name) {
    struct stat info;
    const int folder = chain.descriptor();
    return folder >= 0 && ::fstatat(folder, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
}

// The files taken, handed to the observer in runs: before the walk goes into a folder and
// when it leaves one.
class Taken {
public:
    Taken(std::vector<Text>& files, WalkObserver* observer) : files_(files), observer_(observer), shown_(files.size()) {}
    // Takes the file folder + name, made with one allocation.
    void take(const Text& folder, TextView name) {
        Text& file = files_.emplace_back();
        file.reserve(folder.size() + name.size());
        file.append(folder).append(name);
    }
    void flush() {
        if (observer_ && shown_ < files_.size()) observer_->taken(shown_, files_.size());
        shown_ = files_.size();
    }
    void leftFolder() {
        if (observer_) observer_->leftFolder(files_.size());
    }

private:
    std::vector<Text>& files_;
    WalkObserver* observer_;
    size_t shown_;
};

// What a walk keeps as it goes: the ignore files that apply, the path of the entry the
// walk is at, the folders it is inside (when it follows links) and what it left out.
struct Scope {
    std::unique_ptr<IgnoreFiles> ignoreFiles;
    // The entry's path from the outermost folder whose ignore files apply; the part below
    // the walked folder starts at belowAt. Kept only when ignore files or globs are used.
    std::string path;
    size_t belowAt = 0;
    bool keepsPath = false;
    std::vector<std::pair<dev_t, ino_t>> inside;
    WalkCounts counts;
    Matcher nameFilter;  // matches the rules' name filter
    std::deque<Listing> listings;  // by depth (a deque keeps them in place as it grows)
    std::vector<uint64_t> entryBuffer = std::vector<uint64_t>(4096);  // 32 KiB of folder entries
};

// With followLinks: notes the folder the walk has just entered as one it is inside; false
// when it is the backup folder or one the walk is inside already (a link made a loop).
bool enteredNewFolder(const Rules& rules, FolderChain& chain, Scope& scope) {
    struct stat info;
    const int folder = chain.descriptor();
    if (folder < 0 || ::fstat(folder, &info) != 0) return false;
    if (rules.backupInode != 0 && info.st_dev == rules.backupDevice && info.st_ino == rules.backupInode) return false;
    const std::pair<dev_t, ino_t> identity(info.st_dev, info.st_ino);
    if (std::find(scope.inside.begin(), scope.inside.end(), identity) != scope.inside.end()) {
        ++scope.counts.loops;
        return false;
    }
    scope.inside.push_back(identity);
    return true;
}

// Depth first: a sub-folder's files come before the later entries of its parent. Every
// entry that is not a folder counts as a file. The backup folder and version-control
// metadata are left out. The walk is in the deepest folder of chain (or could not open it:
// nothing is taken); path names it (with a final "/") as the walk meets it: links are
// resolved and the backup folder is recognised through it. depth is that of its entries.
void walk(const Rules& rules, FolderChain& chain, const std::string& path, const Text& relativeFolder,
          size_t depth, Taken& taken, Scope& scope) {
    if (chain.deepest() < 0) return;
    if (scope.listings.size() < depth) scope.listings.resize(depth);
    Listing& listing = scope.listings[depth - 1];
    listFolder(chain.deepest(), listing, scope.entryBuffer);
    if (scope.ignoreFiles) scope.ignoreFiles->enterFolder(scope.path, chain.descriptor(), path, listing.ignoreFiles);
    const size_t folderPathLength = scope.path.size();
    WalkCounts& counts = scope.counts;
    std::string entryPath;
    for (const Entry& entry : listing.entries) {
        const std::string_view name = listing.bytes(entry);
        const char* const systemName = listing.systemName(entry);
        const Kind kind = kindOf(chain, systemName, entry.type);
        if (kind == Kind::folder && isMetadataFolderName(name)) continue;
        if (name == gitName) continue;
        if (rules.skipHidden && name.front() == '.') {
            ++counts.hidden;
            continue;
        }
        const bool followed = kind == Kind::link && rules.followLinks;
        const bool isFolder = kind == Kind::folder || (followed && linkLeadsToFolder(chain, systemName));
        if (scope.keepsPath) {
            scope.path.resize(folderPathLength);
            scope.path += name;
            if (scope.ignoreFiles && scope.ignoreFiles->ignores(scope.path, folderPathLength, isFolder)) {
                ++counts.ignored;
                continue;
            }
            if (!rules.globs.empty()) {
                const PatternMatch glob =
                    rules.globs.match(std::string_view(scope.path).substr(scope.belowAt), name, isFolder);
                if (glob == PatternMatch::negated || (!isFolder && glob == PatternMatch::none && rules.globsSelect)) {
                    ++counts.byGlob;
                    continue;
                }
            }
        }
        if (isFolder) {
            if (depth >= rules.maxDepth) {
                ++counts.beyondDepth;
                continue;
            }
            entryPath.assign(path).append(name) += '/';
            if (entryPath == rules.skipFolder) continue;
            if (followed && !followsLink(rules, entryPath, true)) continue;
            taken.flush();
            if (chain.enter(systemName, followed)) {
                if (!rules.followLinks || enteredNewFolder(rules, chain, scope)) {
                    if (scope.keepsPath) scope.path += '/';
                    Text subFolder;
                    subFolder.reserve(relativeFolder.size() + entry.textSize + 1);
                    subFolder.append(relativeFolder).append(listing.name(entry)) += u'/';
                    walk(rules, chain, entryPath, subFolder, depth + 1, taken, scope);
                    if (rules.followLinks) scope.inside.pop_back();
                }
                chain.leave();
            }
            taken.leftFolder();
            continue;
        }
        if (!takesExtension(rules, listing, entry)) {
            ++counts.byExtension;
            continue;
        }
        if (!takesName(rules, scope.nameFilter, listing, entry)) {
            ++counts.byName;
            continue;
        }
        if (kind == Kind::link) {
            entryPath.assign(path).append(name);
            if (followed ? !followsLink(rules, entryPath, false) : !takesLink(rules, entryPath, counts)) continue;
        }
        taken.take(relativeFolder, listing.name(entry));
    }
    taken.flush();
    scope.path.resize(folderPathLength);
    if (scope.ignoreFiles) scope.ignoreFiles->leaveFolder();
}

}  // namespace

bool namePatternCompiles(const WalkRules& rules, Text* error) {
    if (rules.namePattern.empty()) return true;
    CompiledPattern compiled = compilePattern(filterPattern(rules.namePattern), 0);
    if (error != nullptr) *error = std::move(compiled.error);
    return compiled.pattern != nullptr;
}

WalkCounts& WalkCounts::operator+=(const WalkCounts& other) {
    byExtension += other.byExtension;
    byName += other.byName;
    hidden += other.hidden;
    ignored += other.ignored;
    byGlob += other.byGlob;
    beyondDepth += other.beyondDepth;
    linksToFolders += other.linksToFolders;
    loops += other.loops;
    return *this;
}

WalkCounts walkFolder(const Text& folder, const Text& prefix, const WalkRules& rules, std::vector<Text>& files,
                      WalkObserver* observer) {
    std::string path = textToUtf8(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    const Rules prepared = prepare(path, rules);
    Scope scope;
    scope.nameFilter.use(prepared.nameFilter);
    if (rules.maxDepth == 0) {
        scope.counts.beyondDepth = 1;
        return scope.counts;
    }
    if (rules.useIgnoreFiles && !prepared.root.empty()) {
        scope.ignoreFiles = std::make_unique<IgnoreFiles>(prepared.root, rules.globalExcludes);
        scope.path = scope.ignoreFiles->walkedFolderPath();
        scope.belowAt = scope.path.size();
    }
    scope.keepsPath = scope.ignoreFiles != nullptr || !prepared.globs.empty();
    Taken taken(files, observer);
    FolderChain chain(path);
    if (prepared.followLinks && chain.deepest() >= 0 && !enteredNewFolder(prepared, chain, scope))
        return scope.counts;
    walk(prepared, chain, path, prefix.empty() || prefix.back() == u'/' ? prefix : prefix + u"/", 1, taken, scope);
    return scope.counts;
}

std::string versionControlMetadataOf(const std::string& path) {
    struct stat info;
    const bool folder = ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    // As written, so that a link named .git, or a path through one, counts too.
    std::string part = metadataPart(lexicallyAbsolute(path), folder);
    if (!part.empty()) return part;
    // Where its links lead.
    const std::string resolved = resolvedPath(path);
    return resolved.empty() ? std::string() : metadataPart(resolved, folder);
}
