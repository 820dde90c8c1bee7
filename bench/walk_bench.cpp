// Measures the walk of "Add folders" alone: the engine's walk with the rules the window
// gives it by default (the .txt, .hta, .htm and .html toggles on, no name filter, no backup
// folder inside), the files appended to one list with an observer told of every run of them,
// as the window's file list is. Best of several walks of the same folder.
//
// Usage: walk_bench FOLDER [REPEATS=5]
// Prints one line of name=value pairs: the best wall-clock seconds, and the best processor
// seconds (user and system), which a busy machine disturbs less.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/file_walk.h"
#include "engine/text.h"

namespace {

// Counts what the window's file list would be told.
class CountingObserver : public WalkObserver {
public:
    void taken(size_t from, size_t to) override { rows += to - from; }
    void leftFolder(size_t) override { ++folders; }
    size_t rows = 0;
    size_t folders = 0;
};

double processorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: walk_bench FOLDER [REPEATS=5]\n");
        return 2;
    }
    useUtf8Locale();
    const Text folder = textFromUtf8(argv[1]);
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    WalkRules rules;
    rules.extensions = {u"txt", u"hta", u"htm", u"html"};
    double best = 1e30;
    double bestProcessor = 1e30;
    size_t files = 0;
    size_t folders = 0;
    for (int i = 0; i < repeats; ++i) {
        std::vector<Text> list;
        CountingObserver observer;
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = processorSeconds();
        walkFolder(folder, Text(), rules, list, &observer);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::min(best, seconds);
        bestProcessor = std::min(bestProcessor, processorSeconds() - processorStart);
        if (observer.rows != list.size()) {
            std::fprintf(stderr, "observer told of %zu files, list holds %zu\n", observer.rows, list.size());
            return 1;
        }
        files = list.size();
        folders = observer.folders;
    }
    std::printf("walk_seconds=%.4f processor_seconds=%.4f files=%zu folders=%zu repeats=%d\n", best, bestProcessor,
                files, folders, repeats);
    return 0;
}
