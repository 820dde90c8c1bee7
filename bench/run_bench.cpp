// Measures the real run: builds the real main window on the offscreen platform, fills the
// file set through "Add folders" on a corpus, presses "Preview" (which writes nothing) and
// then "To find and replace", and times both.
//
// Usage: run_bench CASE CORPUS_FOLDER WORK_FOLDER
//   CASE: plain, plain-backup, regex, regex-backup, addfolder
// Prints one line of name=value pairs.

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/startup.h"
#include "app/messages.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace {

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

void handlePending() {
    int kind;
    while ((kind = tk::pollEvent()) != 0) handleEvent(kind);
}

long long bytesOfSet() {
    long long total = 0;
    for (const Text& relative : app.filePaths) {
        struct stat info{};
        if (stat(textToUtf8(app.paths.root + relative).c_str(), &info) == 0) total += info.st_size;
    }
    return total;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s CASE CORPUS_FOLDER WORK_FOLDER\n", argv[0]);
        return 2;
    }
    std::string which = argv[1];
    std::string corpus = argv[2];
    if (corpus.back() != '/') corpus += '/';
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (chdir(argv[3]) != 0) {
        std::perror(argv[3]);
        return 1;
    }

    // Settings left by an earlier case would override the case's own options.
    unlink("tuning.ini");
    useUtf8Locale();
    tk::startToolkit(argc, argv);
    int desktopWidth = 0, desktopHeight = 0;
    tk::desktopSize(desktopWidth, desktopHeight);
    initialiseAppState(workingDirectory(), desktopWidth, desktopHeight);
    for (auto& [key, extension] : app.extensions) extension.state = 1;
    app.activePanel = 0;
    app.options["rez"].state = which.find("backup") != std::string::npos ? 1 : 0;
    app.options["reg1"].state = which.rfind("regex", 0) == 0 ? 1 : 0;
    if (!openProgramWindow()) {
        std::fprintf(stderr, "the window cannot be opened\n");
        return 1;
    }
    resultDisplayMilliseconds = 0;
    tk::setMessageBoxHook([](const Text&, const Text& message) {
        std::fprintf(stderr, "message: %s\n", textToUtf8(message).c_str());
    });
    tk::setPathRequesterHook([&corpus](const Text&, const Text&) { return textFromUtf8(corpus); });

    auto start = std::chrono::steady_clock::now();
    tk::testing::clickGadget(app.g.addFoldersButton);
    handlePending();
    double addSeconds = seconds(start);
    long long files = static_cast<long long>(app.filePaths.size());
    if (which == "addfolder") {
        std::printf("case=addfolder files=%lld seconds=%.3f files_per_s=%.0f peak_mb=%.1f counter=%s\n",
                    files, addSeconds, files / addSeconds, peakMegabytes(),
                    textToUtf8(tk::getGadgetText(app.g.txt1)).c_str());
        closeProgramWindow();
        return 0;
    }

    bool regex = which.rfind("regex", 0) == 0;
    tk::setGadgetText(app.g.searchEditor1, regex ? u"old(\\w+)" : u"oldsite");
    tk::setGadgetText(app.g.replaceEditor1, regex ? u"new\\1" : u"newsite");
    long long bytes = bytesOfSet();

    auto previewStart = std::chrono::steady_clock::now();
    tk::testing::clickGadget(app.g.previewButton);
    handlePending();
    const double previewSeconds = seconds(previewStart);
    const std::string previewChanged = textToUtf8(tk::getGadgetText(app.g.txt3));

    start = std::chrono::steady_clock::now();
    tk::testing::clickGadget(app.g.runButton1);
    handlePending();
    double runSeconds = seconds(start);
    std::printf("case=%s files=%lld changed=%s bytes=%lld seconds=%.3f files_per_s=%.0f mb_per_s=%.1f "
                "peak_mb=%.1f preview_seconds=%.3f preview_changed=%s\n",
                which.c_str(), files, textToUtf8(tk::getGadgetText(app.g.txt3)).c_str(), bytes, runSeconds,
                files / runSeconds, bytes / 1e6 / runSeconds, peakMegabytes(), previewSeconds, previewChanged.c_str());
    closeProgramWindow();
    return 0;
}
