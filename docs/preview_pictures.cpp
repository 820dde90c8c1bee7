// Makes the README's pictures of the preview and of a stopped run: the Work tab after
// "Preview" over a small sample site, the change view of one of its files, and the Work tab
// after a run over a larger site stopped by its button, painted on the offscreen platform.
//
// Usage: preview_pictures OUTPUT_FOLDER
//        (writes preview.png, change_view.png and stopped_run.png there)

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/app_state.h"
#include "app/event_loop.h"
#include "app/messages.h"
#include "app/startup.h"
#include "ui/toolkit/toolkit.h"
#include "ui/toolkit/toolkit_testing.h"

namespace fs = std::filesystem;

namespace {

void handlePending() {
    while (const int kind = tk::pollEvent()) handleEvent(kind);
}

void write(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string pattern = (fs::temp_directory_path() / "preview-pictures-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return 1;
    const fs::path work = pattern;
    const fs::path site = work / "site";
    write(site / "index.html", "<ul>\n<li><a href=\"news.htm\">News</a></li>\n<li><a href=\"team.htm\">Team</a>"
                               "</li>\n</ul>\n<p>See <a href=\"contact.htm\">contact</a>.</p>\n");
    write(site / "news.html", "<h1>News</h1>\n<p>Back to <a href=\"index.htm\">home</a>.</p>\n");
    write(site / "team.html", "<h1>Team</h1>\n<p>No links here.</p>\n");
    write(site / "about/contact.html", "<p><a href=\"index.htm\">Home</a> | <a href=\"team.htm\">Team</a></p>\n");
    if (chdir(work.c_str()) != 0) return 1;

    useUtf8Locale();
    tk::startToolkit(argc, argv);
    int width = 0, height = 0;
    tk::desktopSize(width, height);
    initialiseAppState(workingDirectory(), width, height);
    app.activePanel = 0;
    app.options["reg1"].state = 1;
    app.options["lin"].state = 1;
    if (!openProgramWindow()) return 1;
    resultDisplayMilliseconds = 0;
    fs::path chosen = site;
    tk::setPathRequesterHook([&chosen](const Text&, const Text&) { return textFromUtf8(chosen.string() + "/"); });
    std::vector<tk::ViewLine> lines;
    Text title;
    tk::setTextViewHook([&](const Text& shownTitle, const std::vector<tk::ViewLine>& shown) {
        title = shownTitle;
        lines = shown;
    });

    tk::testing::clickGadget(app.g.addFoldersButton);
    handlePending();
    tk::setGadgetText(app.g.searchEditor1, u"href=\"(\\w+)\\.htm\"");
    tk::setGadgetText(app.g.replaceEditor1, u"href=\"\\1.html\"");
    tk::testing::clickGadget(app.g.previewButton);
    handlePending();
    tk::testing::settle();
    bool ok = tk::testing::saveWindowPicture((out / "preview.png").string());
    tk::testing::activateListRow(app.g.fileList, 1, true);
    handlePending();
    ok = ok && !lines.empty() && tk::testing::saveTextViewPicture(title, lines, (out / "change_view.png").string());

    // A run over a larger site, stopped by its button ("Stop" while it runs) after its
    // first files; its result box is shown again for the picture.
    const fs::path large = work / "large";
    for (int i = 0; i < 2000; ++i)
        write(large / ("section" + std::to_string(i / 250)) / ("page" + std::to_string(i) + ".html"),
              "<p><a href=\"page" + std::to_string(i + 1) + ".htm\">next</a></p>\n");
    chosen = large;
    tk::testing::clickGadget(app.g.addFoldersButton);
    handlePending();
    tk::testing::clickGadget(app.g.runButton1);
    tk::testing::clickGadget(app.g.runButton1);
    handlePending();
    const Text changed = tk::getGadgetText(app.g.txt3);
    tk::setGadgetText(app.g.resultText, runResultMessage(textToNumber(changed), 0, true));
    tk::hideGadget(app.g.resultBox, false);
    tk::testing::settle();
    ok = ok && textToNumber(changed) > 0 && tk::testing::saveWindowPicture((out / "stopped_run.png").string());
    tk::hideGadget(app.g.resultBox, true);
    closeProgramWindow();
    fs::remove_all(work);
    if (!ok) std::fprintf(stderr, "the pictures could not be made\n");
    return ok ? 0 : 1;
}
