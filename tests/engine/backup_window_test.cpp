// Backup copies made by a run with "To do backup copies" on, and the default backup folder
// made when the window is built.

#include "tests/support/program_window.h"

#include "app/backup_folder.h"
#include "engine/backup.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

class BackupTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        for (const char* key : {"reg1", "spa1", "hek"}) setOption(key, false);
        setOption("cas1", true);
        setOption("rez", true);
        for (const char* key : {"hta", "htm", "htl"}) setToggle(key, false);
        setToggle("htm", true);
        tk::setGadgetText(app.g.workCombo, Text());
    }

    void useBackupFolder(const std::string& relative) {
        tk::setGadgetText(app.g.backupTree, folderText(relative));
        processEvents();
        ASSERT_EQ(tk::getGadgetText(app.g.backupTree), folderText(relative));
    }

    void runOverSite(const Text& search, const Text& replacement) {
        pathAnswer = folderText("site");
        click(app.g.addFoldersButton);
        tk::setGadgetText(app.g.searchEditor1, search);
        tk::setGadgetText(app.g.replaceEditor1, replacement);
        click(app.g.runButton1);
    }
};

TEST_F(BackupTest, DefaultFolderIsMadeWhenTheWindowIsBuilt) {
    EXPECT_TRUE(fs::is_directory(at("reserve")));
    EXPECT_TRUE(messages.empty());
}

TEST_F(BackupTest, CopyIsMadeBeforeWritingWithItsFoldersCreated) {
    writeFile("site/a/b/page.htm", "old\n");
    makeFolder("bak");
    useBackupFolder("bak");
    runOverSite(u"old", u"new");
    EXPECT_EQ(readFile("bak/a/b/page.htm"), "old\n");
    EXPECT_EQ(readFile("site/a/b/page.htm"), "new\r\n");
    EXPECT_EQ(ticks(), std::vector<int>{1});
}

TEST_F(BackupTest, LaterRunReplacesTheCopyWithTheStateBeforeIt) {
    writeFile("site/page.htm", "one");
    makeFolder("bak");
    useBackupFolder("bak");
    runOverSite(u"one", u"two");
    EXPECT_EQ(readFile("bak/page.htm"), "one");
    runOverSite(u"two", u"three");
    EXPECT_EQ(readFile("bak/page.htm"), "two\r\n");
    EXPECT_EQ(readFile("site/page.htm"), "three\r\n");
    // The copy and the run's journal, nothing else.
    EXPECT_TRUE(fs::exists(at("bak/.replace-in-files-journal")));
    EXPECT_EQ(std::distance(fs::directory_iterator(at("bak")), fs::directory_iterator()), 2);
}

TEST_F(BackupTest, FilesNotFoundAreNotCopied) {
    writeFile("site/page.htm", "one");
    writeFile("site/other.htm", "zzz");
    makeFolder("bak");
    useBackupFolder("bak");
    runOverSite(u"one", u"two");
    EXPECT_TRUE(fs::exists(at("bak/page.htm")));
    EXPECT_FALSE(fs::exists(at("bak/other.htm")));
}

TEST_F(BackupTest, MissingBackupFolderLeavesTheFileAloneAndReportsIt) {
    writeFile("site/page.htm", "old");
    writeFile("site/sub/deep.htm", "old");
    useBackupFolder("missing");
    runOverSite(u"old", u"new");
    EXPECT_EQ(readFile("site/page.htm"), "old");
    EXPECT_EQ(readFile("site/sub/deep.htm"), "old");
    EXPECT_FALSE(fs::exists(at("missing")));
    EXPECT_EQ(ticks(), (std::vector<int>{0, 0}));
    EXPECT_EQ(tk::getGadgetItemColour(app.g.fileList, 0, tk::frontColour), colour("crim"));
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"It is changed files 0\r\nNot changed because of an error: 2");
    EXPECT_TRUE(messages.empty());
}

TEST_F(BackupTest, WithBackupsOffNoCopyIsMade) {
    writeFile("site/sub/page.htm", "old");
    useBackupFolder("missing");
    setOption("rez", false);
    runOverSite(u"old", u"new");
    EXPECT_EQ(readFile("site/sub/page.htm"), "new\r\n");
    EXPECT_FALSE(fs::exists(at("missing")));
    EXPECT_TRUE(fs::is_empty(at("reserve")));
}

TEST_F(BackupTest, CopyIsByteExact) {
    const std::string bytes = "\xEF\xBB\xBFold caf\xC3\xA9\r\nline\rlast\n";
    writeFile("site/page.htm", bytes);
    makeFolder("bak");
    BackupCopier copier(folderText("site"), folderText("bak"));
    EXPECT_TRUE(copier.copy(u"page.htm"));
    EXPECT_EQ(readFile("bak/page.htm"), bytes);
}

// A run whose copies would land on the files it changes, or whose files are copies, is
// refused before any file is touched: the backup folder is the root, or holds a file of
// the set, however the set was built and whenever the folder was chosen.
TEST_F(BackupTest, RunRefusesWhenTheBackupFolderHoldsFilesOfTheSet) {
    writeFile("site/page.htm", "old");
    writeFile("site/sub/deep.htm", "old");
    const auto expectRefused = [&](const std::string& backup) {
        SCOPED_TRACE(backup);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, u"Mistake");
        EXPECT_EQ(messages[0].text,
                  u"The backup folder must not hold the files to be changed.\r\n\"" + folderText(backup) + u"\"");
        EXPECT_EQ(readFile("site/page.htm"), "old");
        EXPECT_EQ(readFile("site/sub/deep.htm"), "old");
        EXPECT_FALSE(fs::exists(at("site/sub/page.htm")));
        EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
        EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));
        messages.clear();
    };
    useBackupFolder("site");
    runOverSite(u"old", u"new");
    expectRefused("site");

    // A set from "Add files" in a folder below the backup folder.
    fileAnswer = {folderText("site/sub") + u"deep.htm"};
    click(app.g.addFilesButton);
    tk::setGadgetText(app.g.searchEditor1, u"old");
    tk::setGadgetText(app.g.replaceEditor1, u"new");
    click(app.g.runButton1);
    expectRefused("site");

    // The backup folder chosen after the set was built, holding one of its files.
    pathAnswer = folderText("site");
    click(app.g.addFoldersButton);
    useBackupFolder("site/sub");
    click(app.g.runButton1);
    expectRefused("site/sub");

    // A chosen link whose target lies in the backup folder.
    writeFile("bak/kept.htm", "old");
    fs::create_symlink(at("bak/kept.htm"), at("site/link.htm"));
    fileAnswer = {folderText("site") + u"link.htm"};
    click(app.g.addFilesButton);
    useBackupFolder("bak");
    click(app.g.runButton1);
    expectRefused("bak");
    EXPECT_EQ(readFile("bak/kept.htm"), "old");
}

// Any byte but "/" may stand in a folder's name, a line feed too.
TEST_F(BackupTest, CopiesAreMadeBelowFoldersWhoseNamesHoldALineFeed) {
    writeFile("site/a\nb/page.htm", "old");
    makeFolder("bak");
    useBackupFolder("bak");
    runOverSite(u"old", u"new");
    EXPECT_EQ(readFile("bak/a\nb/page.htm"), "old");
    // The copy and the run's journal, nothing else.
    EXPECT_TRUE(fs::exists(at("bak/.replace-in-files-journal")));
    EXPECT_EQ(std::distance(fs::directory_iterator(at("bak")), fs::directory_iterator()), 2);
    EXPECT_EQ(readFile("site/a\nb/page.htm"), "new\r\n");
}

// A link inside the backup folder's tree would send copies elsewhere: such a copy is
// refused, and its file is left as it was and reported.
TEST_F(BackupTest, CopiesNeverPassThroughALinkInsideTheBackupFolder) {
    writeFile("site/page.htm", "old");
    writeFile("site/sub/deep.htm", "old");
    makeFolder("bak");
    makeFolder("elsewhere");
    fs::create_directory_symlink(at("elsewhere"), at("bak/sub"));
    useBackupFolder("bak");
    runOverSite(u"old", u"new");
    EXPECT_TRUE(fs::is_empty(at("elsewhere")));
    EXPECT_EQ(readFile("site/sub/deep.htm"), "old");
    EXPECT_EQ(readFile("bak/page.htm"), "old");
    EXPECT_EQ(readFile("site/page.htm"), "new\r\n");
    EXPECT_EQ(ticks(), (std::vector<int>{1, 0}));
    EXPECT_EQ(tk::getGadgetItemColour(app.g.fileList, 1, tk::frontColour), colour("crim"));
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"It is changed files 1\r\nNot changed because of an error: 1");
}

// A file whose text is the same after the replacement (a pattern whose only matches are
// empty) is not written, copied, ticked or counted: its bytes and line ends stay.
TEST_F(BackupTest, FileWhoseTextStaysTheSameIsNeitherCopiedNorWritten) {
    writeFile("site/page.htm", "a\nb\n");
    makeFolder("bak");
    useBackupFolder("bak");
    setOption("reg1", true);
    runOverSite(u"^", u"// ");
    EXPECT_EQ(readFile("site/page.htm"), "a\nb\n");
    EXPECT_TRUE(fs::is_empty(at("bak")));
    EXPECT_EQ(ticks(), std::vector<int>{0});
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"Concurrences it is Not found");
}

TEST_F(BackupTest, PlainFileNamedReserveIsLeftAlone) {
    fs::remove(at("reserve"));
    writeFile("reserve", "a file");
    ensureDefaultBackupFolder();
    EXPECT_EQ(readFile("reserve"), "a file");
    EXPECT_TRUE(messages.empty());
}

TEST_F(BackupTest, FolderThatCannotBeMadeIsErrorZero) {
    fs::remove(at("reserve"));
    chmod(folder_.c_str(), 0555);
    {
        AsOrdinaryUser ordinary;
        ensureDefaultBackupFolder();
    }
    chmod(folder_.c_str(), 0777);
    EXPECT_FALSE(fs::exists(at("reserve")));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"It was not possible to create the Folder.\r\n\"" + folderText("reserve") + u"\"");
}

}  // namespace
