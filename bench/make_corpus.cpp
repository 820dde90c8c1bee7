// Writes a web-site-like tree of text files for the benchmarks, the same for the same seed:
// nested folders (depth up to 4), mostly .html/.htm with some .txt/.hta and some files the
// extension toggles skip, sizes around a 6 KB median with a tail up to 1 MB, CR LF in most
// files and LF in some, a share with the UTF-8 mark, a few UTF-16LE with the mark, some
// Latin-1 bytes, and the word "oldsite" in a chosen share of the files.
//
// Usage: make_corpus FOLDER [FILES=20000] [SHARE_WITH_WORD=0.01] [SEED=1]

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const words[] = {
    "the", "page", "site", "content", "menu", "link", "table", "section", "article", "header",
    "footer", "image", "style", "script", "title", "news", "contact", "about", "index", "home",
    "product", "service", "price", "order", "customer", "support", "download", "archive",
    "gallery", "event", "team", "history", "project", "report", "update", "version", "review",
    "search", "result", "market", "city", "river", "garden", "winter", "summer", "green"};
constexpr int wordCount = sizeof(words) / sizeof(words[0]);

void makeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER [FILES] [SHARE_WITH_WORD] [SEED]\n", argv[0]);
        return 2;
    }
    std::string root = argv[1];
    long files = argc > 2 ? std::atol(argv[2]) : 20000;
    double share = argc > 3 ? std::atof(argv[3]) : 0.01;
    unsigned long seed = argc > 4 ? std::strtoul(argv[4], nullptr, 10) : 1;
    std::mt19937_64 random(seed);
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

    // Folders: a tree of up to four levels, about 40 files a folder.
    std::vector<std::string> folders = {""};
    long folderCount = files / 40 + 1;
    while (static_cast<long>(folders.size()) < folderCount) {
        const std::string& parent = folders[static_cast<size_t>(pick(static_cast<int>(folders.size())))];
        int depth = 0;
        for (char c : parent) depth += c == '/';
        if (depth >= 4) continue;
        folders.push_back(parent + words[pick(wordCount)] + std::to_string(folders.size()) + "/");
    }
    for (const std::string& folder : folders) makeFolders(root + "/" + folder);

    long withWord = 0;
    long long bytes = 0;
    std::string text;
    for (long n = 0; n < files; ++n) {
        const std::string& folder = folders[static_cast<size_t>(pick(static_cast<int>(folders.size())))];
        double kind = std::uniform_real_distribution<double>(0, 1)(random);
        const char* extension = kind < 0.55 ? ".html" : kind < 0.85 ? ".htm" : kind < 0.90 ? ".txt"
                              : kind < 0.92 ? ".hta" : kind < 0.96 ? ".css" : ".js";
        // Log-normal sizes: median 6 KB, a long tail, at most 1 MB.
        double size = std::exp(std::normal_distribution<double>(std::log(6000.0), 1.0)(random));
        size_t target = static_cast<size_t>(std::min(size, 1048576.0));
        bool crlf = chance(0.8);
        bool latin1 = chance(0.05);
        bool word = chance(share);
        withWord += word;

        text.clear();
        while (text.size() < target) {
            int lineWords = 4 + pick(12);
            for (int w = 0; w < lineWords; ++w) {
                text += words[pick(wordCount)];
                text += ' ';
            }
            if (latin1 && chance(0.2)) text += "caf\xE9 na\xEFve ";
            if (word && chance(0.05)) text += "oldsite ";
            text += crlf ? "\r\n" : "\n";
        }
        if (word) text += "see oldsite for more" + std::string(crlf ? "\r\n" : "\n");

        std::string encoded;
        double markKind = std::uniform_real_distribution<double>(0, 1)(random);
        if (markKind < 0.01 && !latin1) {
            encoded = "\xFF\xFE";
            for (char c : text) {
                encoded += c;
                encoded += '\0';
            }
        } else if (markKind < 0.16) {
            encoded = "\xEF\xBB\xBF" + text;
        } else {
            encoded = text;
        }
        std::string path = root + "/" + folder + words[pick(wordCount)] + "_" + std::to_string(n) + extension;
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) {
            std::perror(path.c_str());
            return 1;
        }
        std::fwrite(encoded.data(), 1, encoded.size(), file);
        std::fclose(file);
        bytes += static_cast<long long>(encoded.size());
    }
    std::printf("corpus files %ld folders %zu bytes %lld with_word %ld\n", files, folders.size(), bytes,
                withWord);
    return 0;
}
