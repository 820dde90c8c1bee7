// "Preview" on the Work tab: the counts per row agree with what a run then does, nothing is
// written, files that would fail are marked, a stopped preview leaves the window usable,
// and a counted row opens the change view with its lines and marks.

#include "tests/support/program_window.h"

#include <sys/stat.h>

#include "app/preview.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

class PreviewTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        for (const char* key : {"reg1", "spa1", "hek", "rez"}) setOption(key, false);
        setOption("cas1", true);
        for (const char* key : {"txt", "hta", "htm", "htl"}) setToggle(key, false);
        setToggle("txt", true);
        tk::setTextViewHook([this](const Text& title, const std::vector<tk::ViewLine>& lines) {
            viewTitles.push_back(title);
            viewLines = lines;
        });
    }
    void TearDown() override {
        tk::setTextViewHook(nullptr);
        ProgramWindowTest::TearDown();
    }

    void addFolder(const std::string& folder) {
        pathAnswer = folderText(folder);
        click(app.g.addFoldersButton);
    }
    void setRow(const Text& search, const Text& replacement) {
        tk::setGadgetText(app.g.searchEditor1, search);
        tk::setGadgetText(app.g.replaceEditor1, replacement);
    }
    static std::vector<Text> counts() {
        std::vector<Text> shown;
        for (int i = 0; i < tk::countGadgetItems(app.g.fileList); ++i)
            shown.push_back(tk::getGadgetItemText(app.g.fileList, i, 2));
        return shown;
    }
    static bool marked(int row) {
        return tk::getGadgetItemColour(app.g.fileList, row, tk::frontColour) == colour("crim");
    }
    // A line of the view as text, its marked parts in [ ].
    static std::string shown(const tk::ViewLine& line) {
        std::string text;
        for (const tk::ViewPart& part : line.parts) {
            const std::string bytes = textToUtf8(part.text);
            text += part.style == tk::PartStyle::marked ? "[" + bytes + "]" : bytes;
        }
        return text;
    }

    std::vector<Text> viewTitles;
    std::vector<tk::ViewLine> viewLines;
};

TEST_F(PreviewTest, CountsAgreeWithTheRunAndNothingIsWritten) {
    for (const char* tree : {"site", "copy"}) {
        const std::string top = tree;
        writeFile(top + "/a.txt", "old old\nold\n");
        writeFile(top + "/b.txt", "nothing here\n");
        writeFile(top + "/sub/c.txt", "one old\r\n");
        writeFile(top + "/sub/d.txt", std::string("old\0zero", 8));  // a zero byte: never written
        writeFile(top + "/sub/e.txt", "old, but read-only\n");
        fs::permissions(at(top + "/sub/e.txt"), fs::perms(0444));
    }
    struct stat before[4];
    const char* files[] = {"site/a.txt", "site/b.txt", "site/sub/c.txt", "site/sub/d.txt"};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(::stat(at(files[i]).c_str(), &before[i]), 0);

    addFolder("site");
    setRow(u"old", u"new");
    click(app.g.previewButton);
    EXPECT_EQ(counts(), (std::vector<Text>{u"3", u"", u"1", u"", u""}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"2");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"5");
    EXPECT_EQ(ticks(), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_FALSE(marked(0) || marked(1) || marked(2));
    EXPECT_TRUE(marked(3));
    EXPECT_TRUE(marked(4));  // read-only: the run would refuse it
    for (int i = 0; i < 4; ++i) {
        struct stat after;
        ASSERT_EQ(::stat(at(files[i]).c_str(), &after), 0);
        EXPECT_EQ(after.st_mtim.tv_sec, before[i].st_mtim.tv_sec) << files[i];
        EXPECT_EQ(after.st_mtim.tv_nsec, before[i].st_mtim.tv_nsec) << files[i];
    }
    EXPECT_EQ(readFile("site/a.txt"), "old old\nold\n");
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));

    // The run over a copy of the tree changes exactly the files the preview counted, and
    // makes as many replacements.
    const std::vector<Text> previewed = counts();
    addFolder("copy");
    click(app.g.runButton1);
    EXPECT_EQ(ticks(), (std::vector<int>{1, 0, 1, 0, 0}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"2");
    EXPECT_EQ(readFile("copy/a.txt"), "new new\r\nnew\r\n");
    EXPECT_EQ(readFile("copy/sub/c.txt"), "one new\r\n");
    EXPECT_TRUE(marked(3));
    EXPECT_TRUE(marked(4));
    EXPECT_EQ(previewed[0], u"3");
}

TEST_F(PreviewTest, ChangeViewShowsEachChangedLineWithItsMarks) {
    writeFile("site/mail.txt", "head\nwrite joe@old.org or ann@old.org\nplain\n");
    addFolder("site");
    setOption("reg1", true);
    setOption("lin", true);
    setRow(u"(\\w+)@old", u"\\1@new");
    // Before a preview, a double click shows nothing.
    tk::testing::activateListRow(app.g.fileList, 0);
    processEvents();
    EXPECT_TRUE(viewTitles.empty());

    click(app.g.previewButton);
    ASSERT_EQ(counts(), std::vector<Text>{u"2"});
    tk::testing::activateListRow(app.g.fileList, 0);
    processEvents();
    ASSERT_EQ(viewTitles.size(), 1u);
    EXPECT_EQ(viewTitles[0], u"Changes in " + folderText("site") + u"mail.txt");
    ASSERT_EQ(viewLines.size(), 2u);
    EXPECT_EQ(viewLines[0].style, tk::LineStyle::before);
    EXPECT_EQ(shown(viewLines[0]), "     2 - write [joe@old].org or [ann@old].org");
    EXPECT_EQ(viewLines[1].style, tk::LineStyle::after);
    // The line end the run would write (kept: LF) ends the line after.
    EXPECT_EQ(shown(viewLines[1]), "     2 + write [joe@new].org or [ann@new].org LF");

    // Enter on the row opens it too.
    tk::testing::activateListRow(app.g.fileList, 0, true);
    processEvents();
    EXPECT_EQ(viewTitles.size(), 2u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(PreviewTest, StoppedPreviewLeavesTheWindowUsable) {
    for (int i = 0; i < 5; ++i) writeFile("site/f" + std::to_string(i) + ".txt", "old\n");
    addFolder("site");
    setRow(u"old", u"new");
    // Escape pressed while the preview runs: it stops after the file it is on.
    tk::testing::pressKey(tk::keyEscape);
    previewFiles();
    EXPECT_EQ(counts(), (std::vector<Text>{u"1", u"", u"", u"", u""}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"1");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"5");
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.previewButton));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.searchEditor1));
    EXPECT_TRUE(tk::windowIsOpen());
    // The next preview runs to the end, and a run clears the counts.
    click(app.g.previewButton);
    EXPECT_EQ(counts(), (std::vector<Text>(5, u"1")));
    click(app.g.runButton1);
    EXPECT_EQ(counts(), (std::vector<Text>(5, u"")));
    EXPECT_EQ(readFile("site/f4.txt"), "new\r\n");
}

TEST_F(PreviewTest, ButtonAndChangeViewSpeakTheChosenLanguage) {
    fs::create_directories("language");
    fs::copy_file(shippedLanguages / "German.lng", fs::path("language") / "German.lng");
    restart();
    chooseLanguage(u"German");
    EXPECT_EQ(tk::getGadgetText(app.g.previewButton), u"Vorschau");
    writeFile("site/a.txt", "old\n");
    addFolder("site");
    setRow(u"old", u"new");
    click(app.g.previewButton);
    ASSERT_EQ(counts(), std::vector<Text>{u"1"});
    tk::testing::activateListRow(app.g.fileList, 0, true);
    processEvents();
    ASSERT_EQ(viewTitles.size(), 1u);
    EXPECT_EQ(viewTitles[0], u"\u00C4nderungen in " + folderText("site") + u"a.txt");
}

}  // namespace
