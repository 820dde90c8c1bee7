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

// A run rewrites a link's target, so a link is taken only when its target lies inside the
// chosen folder: a run over an untrusted tree never writes elsewhere.
TEST_F(FileSetTest, LinksToFoldersAreNotFollowedAndOnlyLinksToFilesInsideAreTaken) {
    setToggle("txt", true);
    writeFile("site/sub/a.txt", "");
    writeFile("elsewhere/b.txt", "");
    writeFile("site-old/c.txt", "");
    fs::create_directory_symlink(at("site"), at("site/sub/loop"));
    fs::create_directory_symlink(at("elsewhere"), at("site/far"));
    fs::create_symlink(at("elsewhere/b.txt"), at("site/outside.txt"));
    fs::create_symlink("../site-old/c.txt", at("site/sibling.txt"));
    fs::create_symlink("sub/a.txt", at("site/inside.txt"));
    fs::create_symlink(at("missing.txt"), at("site/dangling.txt"));
    addFolder();
    expectSet({u"dangling.txt", u"inside.txt", u"sub/a.txt"});
}

// The backup folder's copies are never part of the site's set, also when the chosen folder
// is reached through a link; nor are links into it.
TEST_F(FileSetTest, AddFoldersLeavesOutTheBackupFolderBelowTheChosenFolder) {
    setToggle("htm", true);
    writeFile("site/page.htm", "");
    writeFile("site/reserve/page.htm", "");
    writeFile("site/reserve/sub/deep.htm", "");
    writeFile("site/sub/deep.htm", "");
    fs::create_symlink("reserve/page.htm", at("site/copy.htm"));
    fs::create_directory_symlink(at("site"), at("site-link"));
    tk::setGadgetText(app.g.backupTree, folderText("site/reserve"));
    processEvents();
    ASSERT_EQ(tk::getGadgetText(app.g.backupTree), folderText("site/reserve"));
    pathAnswer = folderText("site-link");
    click(app.g.addFoldersButton);
    expectSet({u"page.htm", u"sub/deep.htm"});
}

// "Add files" takes exactly the files chosen: only "/" separates, and "\\", "|" and '"'
// are part of names.
TEST_F(FileSetTest, AddFilesTakesExactlyTheChosenFilesWhateverTheirNamesHold) {
    for (const char* name : {"site/a.txt", "site/x\\b.txt", "site/b.txt", "site/a|b/c.txt", "site/c.txt",
                             "site/q\"d.txt", "site/d.txt"})
        writeFile(name, "old");
    fileAnswer = {folderText("site") + u"a.txt", folderText("site") + u"x\\b.txt"};
    click(app.g.addFilesButton);
    expectSet({u"x\\b.txt", u"a.txt"});
    fileAnswer = {folderText("site/a|b") + u"c.txt"};
    click(app.g.addFilesButton);
    expectSet({u"c.txt"});
    EXPECT_EQ(app.paths.root, folderText("site/a|b"));
    fileAnswer = {folderText("site") + u"q\"d.txt"};
    click(app.g.addFilesButton);
    expectSet({u"q\"d.txt"});
    EXPECT_EQ(app.paths.root, folderText("site"));

    // A run changes the chosen file and no other.
    for (const char* key : {"reg1", "spa1", "rez"}) tk::setGadgetState(option(key), 0);
    tk::setGadgetText(app.g.searchEditor1, u"old");
    tk::setGadgetText(app.g.replaceEditor1, u"new");
    click(app.g.runButton1);
    EXPECT_EQ(readFile("site/q\"d.txt"), "new\r\n");
    EXPECT_EQ(readFile("site/d.txt"), "old");
    EXPECT_EQ(readFile("site/c.txt"), "old");
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

// A checkout's Git metadata is never part of the set: neither the files of its .git folder
// nor a worktree's .git file.
TEST_F(FileSetTest, AddFoldersLeavesOutVersionControlMetadata) {
    setToggle("txt", true);
    setToggle("htm", true);
    writeFile("site/a.txt", "");
    writeFile("site/.git/description.txt", "");
    writeFile("site/.git/hooks/notes.htm", "");
    writeFile("site/sub/.git", "gitdir: ../.git/worktrees/sub\n");
    writeFile("site/sub/b.htm", "");
    addFolder();
    expectSet({u"a.txt", u"sub/b.htm"});
    EXPECT_TRUE(messages.empty());
}

// A folder or files chosen inside a repository's metadata are refused with error 10, and
// the set stays as it was.
TEST_F(FileSetTest, ChoiceInsideVersionControlMetadataIsRefusedAndTheSetKept) {
    setToggle("txt", true);
    writeFile("site/a.txt", "");
    writeFile("site/.git/info/notes.txt", "");
    addFolder();
    expectSet({u"a.txt"});

    pathAnswer = folderText("site/.git/info");
    click(app.g.addFoldersButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"The choice lies inside version-control metadata (.git and the like), which the "
                                u"program never changes.\r\n\"" + folderText("site/.git/info") + u"\"");
    fileAnswer = {folderText("site/.git/info") + u"notes.txt"};
    click(app.g.addFilesButton);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, messages[0].text);
    expectSet({u"a.txt"});
    EXPECT_EQ(app.paths.root, folderText("site"));
}

}  // namespace
