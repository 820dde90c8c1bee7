// "Add folders" and "Add files" on the real window: what is taken, in which order, the
// counter, error 4, links and cancelled dialogs. Entry i of the set and row i of the list
// must always name the same file.

#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

class FileSetTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        for (const char* key : {"txt", "hta", "htm", "htl"}) setToggle(key, false);
        tk::setGadgetText(app.g.workCombo, Text());
        makeFolder("site");
    }

    void addFolder(const char* filter = "") {
        tk::setGadgetText(app.g.workCombo, textFromUtf8(filter));
        pathAnswer = folderText("site");
        click(app.g.addFoldersButton);
    }

    void expectSet(const std::vector<Text>& expected) {
        EXPECT_EQ(app.filePaths, expected);
        EXPECT_EQ(rows(), expected);
        EXPECT_EQ(tk::getGadgetText(app.g.txt1), numberToText(static_cast<int64_t>(expected.size())));
    }
};

TEST_F(FileSetTest, TogglesChooseExtensionsWhateverTheirCase) {
    writeFile("site/a.HTML", "");
    writeFile("site/b.htm", "");
    writeFile("site/sub/c.html", "");
    writeFile("site/d.txt", "");
    setToggle("htl", true);
    addFolder();
    expectSet({u"a.HTML", u"sub/c.html"});
    EXPECT_EQ(app.paths.root, folderText("site"));
    EXPECT_EQ(app.paths.folders, folderText("site"));
    EXPECT_TRUE(messages.empty());

    for (const char* key : {"txt", "hta", "htm"}) setToggle(key, true);
    writeFile("site/e.hta", "");
    writeFile("site/f.htmx", "");
    addFolder();
    expectSet({u"a.HTML", u"b.htm", u"d.txt", u"e.hta", u"sub/c.html"});
}

TEST_F(FileSetTest, FoldersAreListedByNameIgnoringCaseAndExpandedWhereMet) {
    setToggle("txt", true);
    for (const char* name : {"site/b.txt", "site/A.txt", "site/C.txt", "site/m/z.txt", "site/m/Y.txt",
                             "site/N.txt", "site/B/k.txt"})
        writeFile(name, "");
    addFolder();
    expectSet({u"A.txt", u"B/k.txt", u"b.txt", u"C.txt", u"m/Y.txt", u"m/z.txt", u"N.txt"});
}

TEST_F(FileSetTest, FilterMatchesTheWholeLowerCasedBaseName) {
    setToggle("htm", true);
    for (const char* name : {"site/Index.htm", "site/main.htm", "site/index2.htm", "site/xmain.htm"})
        writeFile(name, "");
    addFolder("index|main");
    expectSet({u"Index.htm", u"main.htm"});
}

TEST_F(FileSetTest, FilterIsLowerCasedAndSeesTheNameWithoutItsExtension) {
    setToggle("htm", true);
    writeFile("site/page.htm", "");
    writeFile("site/other.htm", "");
    addFolder("Page");
    expectSet({u"page.htm"});
    addFolder("htm");
    EXPECT_TRUE(app.filePaths.empty());
}

TEST_F(FileSetTest, FilterThatDoesNotCompileTakesNothingAndShowsErrorFour) {
    setToggle("htm", true);
    writeFile("site/page.htm", "");
    addFolder("(");
    EXPECT_TRUE(app.filePaths.empty());
    EXPECT_TRUE(rows().empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"On the specified way there are no necessary files\r\n\"" + folderText("site") + u"\"");
}

TEST_F(FileSetTest, NameThatIsOnlyAnExtensionIsNeverTaken) {
    setToggle("htm", true);
    writeFile("site/.htm", "");
    writeFile("site/sub/.htm", "");
    addFolder();
    EXPECT_TRUE(app.filePaths.empty());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(FileSetTest, LinksToFoldersAreNotFollowedAndLinksToFilesAreFiles) {
    setToggle("txt", true);
    writeFile("site/sub/a.txt", "");
    writeFile("elsewhere/b.txt", "");
    fs::create_directory_symlink(at("site"), at("site/sub/loop"));
    fs::create_directory_symlink(at("elsewhere"), at("site/far"));
    fs::create_symlink(at("elsewhere/b.txt"), at("site/link.txt"));
    fs::create_symlink(at("missing.txt"), at("site/dangling.txt"));
    addFolder();
    expectSet({u"dangling.txt", u"link.txt", u"sub/a.txt"});
}

TEST_F(FileSetTest, NamesThatAreNotUtf8ArePassedOnUnchanged) {
    setToggle("txt", true);
    writeFile("site/caf\xE9.txt", "x");
    addFolder();
    ASSERT_EQ(app.filePaths.size(), 1u);
    EXPECT_EQ(textToUtf8(app.paths.root + app.filePaths[0]), at("site/caf\xE9.txt"));
}

TEST_F(FileSetTest, CancelledFolderDialogKeepsTheSetAndItsRows) {
    setToggle("txt", true);
    writeFile("site/a.txt", "");
    writeFile("site/b.txt", "");
    addFolder();
    expectSet({u"a.txt", u"b.txt"});
    pathAnswer = Text();
    click(app.g.addFoldersButton);
    EXPECT_EQ(pathRequests, 2);
    expectSet({u"a.txt", u"b.txt"});
    EXPECT_EQ(app.paths.root, folderText("site"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FileSetTest, NewFolderReplacesTheSetAndUnticksNothingStale) {
    setToggle("txt", true);
    writeFile("site/a.txt", "");
    writeFile("other/b.txt", "");
    addFolder();
    tk::setGadgetItemState(app.g.fileList, 0, 1);
    pathAnswer = folderText("other");
    click(app.g.addFoldersButton);
    expectSet({u"b.txt"});
    EXPECT_EQ(ticks(), std::vector<int>{0});
    EXPECT_EQ(app.paths.root, folderText("other"));
}

TEST_F(FileSetTest, EmptyFolderShowsErrorFourAndAnEmptyList) {
    setToggle("txt", true);
    writeFile("site/a.txt", "");
    addFolder();
    makeFolder("empty");
    pathAnswer = folderText("empty");
    click(app.g.addFoldersButton);
    expectSet({});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"On the specified way there are no necessary files\r\n\"" + folderText("empty") + u"\"");
}

TEST_F(FileSetTest, AddFilesListsTheFirstChosenFileLast) {
    writeFile("site/a.txt", "");
    setToggle("txt", true);
    addFolder();
    fileAnswer = {folderText("site") + u"x.txt", folderText("site") + u"y.txt", folderText("site") + u"z.txt"};
    app.paths.files = u"/start/";
    click(app.g.addFilesButton);
    expectSet({u"y.txt", u"z.txt", u"x.txt"});
    EXPECT_EQ(requestedStart, u"/start/");
    EXPECT_EQ(requestedFilter, u"TXT File (txt, hta, htm, html)|*.txt;*.hta;*.htm;*.html");
    EXPECT_EQ(app.paths.files, folderText("site") + u"x.txt");
    EXPECT_EQ(app.paths.root, folderText("site"));
}

TEST_F(FileSetTest, AddFilesIgnoresTogglesAndFilter) {
    tk::setGadgetText(app.g.workCombo, u"nomatch");
    fileAnswer = {folderText("site") + u"Page.HTML"};
    click(app.g.addFilesButton);
    expectSet({u"Page.HTML"});
}

TEST_F(FileSetTest, CancelledFileDialogKeepsTheSet) {
    fileAnswer = {folderText("site") + u"a.txt", folderText("site") + u"b.txt"};
    click(app.g.addFilesButton);
    fileAnswer.clear();
    click(app.g.addFilesButton);
    expectSet({u"b.txt", u"a.txt"});
}

}  // namespace
