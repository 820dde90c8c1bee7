#include "cli/rif_files.h"

#include <sys/stat.h>

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

std::string gatherFiles(const Settings& settings, const WalkRules& rules, std::vector<Batch>& batches) {
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
            walkFolder(batch.root, Text(), rules, batch.relatives);
        } else {
            const size_t slash = path.find_last_of('/');
            batch.root = slash == std::string::npos ? Text() : textFromUtf8(path.substr(0, slash + 1));
            batch.relatives.push_back(textFromUtf8(slash == std::string::npos ? path : path.substr(slash + 1)));
        }
        batches.push_back(std::move(batch));
    }
    return std::string();
}
