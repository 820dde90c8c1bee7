// Backup copies made by a run with "To do backup copies" on, and the default backup folder
// made when the window is built.

#include "tests/support/program_window.h"

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
    EXPECT_EQ(std::distance(fs::directory_iterator(at("bak")), fs::directory_iterator()), 1);
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
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"Concurrences it is Not found\r\nNot changed because of an error: 2");
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
    EXPECT_TRUE(makeBackup(folderText("site"), u"page.htm", folderText("bak")));
    EXPECT_EQ(readFile("bak/page.htm"), bytes);
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
