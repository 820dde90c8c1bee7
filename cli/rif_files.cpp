#include "cli/rif_files.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/ignore_rules.h"

extern char** environ;

namespace {

// True when the git configuration file at path mentions excludesFile or an include, in any
// letter case (git's keys ignore it).
bool mayNameExcludesFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find("excludesfile") != std::string::npos || text.find("include") != std::string::npos;
}

// The environment variable's value; empty when it is not set.
std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// What `git config --global --type=path --get core.excludesFile` prints, without its line
// end; empty when git cannot be run or the setting is not there.
std::string configuredExcludesFile() {
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) return std::string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* const arguments[] = {"git", "config", "--global", "--type=path", "--get", "core.excludesFile",
                                     nullptr};
    pid_t child = 0;
    const int spawned =
        ::posix_spawnp(&child, "git", &actions, nullptr, const_cast<char* const*>(arguments), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(output[1]);
    std::string printed;
    if (spawned == 0) {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(output[0], buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            printed.append(buffer, static_cast<size_t>(got));
        }
    }
    ::close(output[0]);
    if (spawned != 0) return std::string();
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::string();
    while (!printed.empty() && (printed.back() == '\n' || printed.back() == '\r')) printed.pop_back();
    return printed;
}

// "N what (option)" items of the reason, joined by ", ".
void addReason(std::string& reason, size_t count, const std::string& what) {
    if (count == 0) return;
    if (!reason.empty()) reason += ", ";
    reason += std::to_string(count) + " " + what;
}

// The values one after another, separator between them.
std::string joined(const std::vector<std::string>& values, const char* separator) {
    std::string all;
    for (const std::string& value : values) all += (all.empty() ? "" : separator) + value;
    return all;
}

}  // namespace

std::vector<Text> extensionList(const std::vector<std::string>& lists) {
    std::vector<Text> extensions;
    for (const std::string& list : lists) {
        size_t start = 0;
        while (start <= list.size()) {
            size_t comma = list.find(',', start);
            if (comma == std::string::npos) comma = list.size();
            std::string extension = list.substr(start, comma - start);
            if (extension.size() > 1 && extension.compare(0, 2, "*.") == 0) extension.erase(0, 2);
            else if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
            if (!extension.empty()) extensions.push_back(textFromUtf8(extension));
            start = comma + 1;
        }
    }
    return extensions;
}

std::string globalExcludesFile() {
    const std::string home = environment("HOME");
    const std::string xdg = environment("XDG_CONFIG_HOME");
    const std::string configHome = !xdg.empty() ? xdg : home.empty() ? std::string() : home + "/.config";
    // git is asked only when its global configuration may name the file: when a file of it
    // mentions excludesFile or includes another file.
    std::vector<std::string> configFiles;
    if (const std::string named = environment("GIT_CONFIG_GLOBAL"); !named.empty()) {
        configFiles.push_back(named);
    } else {
        if (!home.empty()) configFiles.push_back(home + "/.gitconfig");
        if (!configHome.empty()) configFiles.push_back(configHome + "/git/config");
    }
    for (const std::string& file : configFiles) {
        if (mayNameExcludesFile(file)) {
            const std::string configured = configuredExcludesFile();
            if (!configured.empty()) return configured;
            break;
        }
    }
    return configHome.empty() ? std::string() : configHome + "/git/ignore";
}

WalkRules walkRulesOf(const Settings& settings) {
    WalkRules rules;
    IgnorePatterns globs;
    for (const std::string& glob : settings.globs) globs.addLine(glob);
    // A glob that takes files says which ones are wanted: the default extensions stand
    // aside unless -x names some.
    rules.extensions = globs.hasPlain() && !settings.extensionsGiven ? std::vector<Text>{u"*"}
                                                                     : extensionList(settings.extensions);
    rules.namePattern = textFromUtf8(settings.name);
    rules.backupFolder = textFromUtf8(settings.backup);
    rules.skipHidden = !settings.hidden;
    rules.useIgnoreFiles = !settings.noIgnore;
    if (rules.useIgnoreFiles) rules.globalExcludes = globalExcludesFile();
    rules.globs = settings.globs;
    rules.maxDepth = settings.maxDepth;
    rules.followLinks = settings.followLinks;
    return rules;
}

std::string gatherFiles(const Settings& settings, const WalkRules& rules, std::vector<Batch>& batches,
                        WalkCounts& counts) {
    for (const std::string& path : settings.paths) {
        struct stat info;
        if (::stat(path.c_str(), &info) != 0) return "no such file or folder: " + path;
        // The walk never enters version-control metadata; named on its own, it is refused.
        const std::string metadata = versionControlMetadataOf(path);
        if (!metadata.empty())
            return path + " lies inside version-control metadata (" + metadata + "); rif never changes it";
        Batch batch;
        if (S_ISDIR(info.st_mode)) {
            batch.root = textFromUtf8(path.back() == '/' ? path : path + "/");
            counts += walkFolder(batch.root, Text(), rules, batch.relatives);
        } else {
            const size_t slash = path.find_last_of('/');
            batch.root = slash == std::string::npos ? Text() : textFromUtf8(path.substr(0, slash + 1));
            batch.relatives.push_back(textFromUtf8(slash == std::string::npos ? path : path.substr(slash + 1)));
        }
        batches.push_back(std::move(batch));
    }
    return std::string();
}

std::string noFilesSearched(const Settings& settings, const WalkCounts& counts) {
    std::string reason;
    std::vector<std::string> extensions;
    for (const Text& extension : extensionList(settings.extensions)) extensions.push_back(textToUtf8(extension));
    addReason(reason, counts.byExtension,
              std::string(counts.byExtension == 1 ? "file" : "files") + " left out by the extension list " +
                  joined(extensions, ",") + " (use -x to choose others, -x '*' for every file)");
    addReason(reason, counts.byName, "left out by --name " + settings.name);
    addReason(reason, counts.byGlob, "left out by the globs " + joined(settings.globs, " ") + " (-g)");
    addReason(reason, counts.hidden, "hidden (--hidden)");
    addReason(reason, counts.ignored, "ignored (--no-ignore)");
    addReason(reason, counts.beyondDepth,
              std::string(counts.beyondDepth == 1 ? "folder" : "folders") + " below --max-depth " +
                  std::to_string(settings.maxDepth));
    addReason(reason, counts.linksToFolders,
              std::string(counts.linksToFolders == 1 ? "link" : "links") + " to folders not followed (-L)");
    addReason(reason, counts.loops,
              std::string(counts.loops == 1 ? "link" : "links") + " to a folder the walk was inside already");
    if (reason.empty()) reason = settings.paths.size() == 1 ? "the PATH holds no files" : "the PATHs hold no files";
    return "no files searched: " + reason;
}
