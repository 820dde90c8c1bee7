// "Undo last run" on the Work tab: enabled by a run with backups, asks first, puts the files
// back with their modes, unticks their rows, marks the files it leaves alone, reports both
// counts, refuses a damaged journal with an error box, and speaks the chosen language.

#include "tests/support/program_window.h"

#include "engine/run_journal.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

class UndoTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        for (const char* key : {"reg1", "spa1", "hek"}) setOption(key, false);
        setOption("cas1", true);
        setOption("rez", true);
        for (const char* key : {"txt", "hta", "htm", "htl"}) setToggle(key, false);
        setToggle("txt", true);
        makeFolder("bak");
        tk::setGadgetText(app.g.backupTree, folderText("bak"));
        processEvents();
        tk::setQuestionBoxHook([this](const Text&, const Text& text) {
            questions.push_back(text);
            return answer;
        });
    }
    void TearDown() override {
        tk::setQuestionBoxHook(nullptr);
        ProgramWindowTest::TearDown();
    }

    void runOverSite(const Text& search, const Text& replacement) {
        pathAnswer = folderText("site");
        click(app.g.addFoldersButton);
        tk::setGadgetText(app.g.searchEditor1, search);
        tk::setGadgetText(app.g.replaceEditor1, replacement);
        click(app.g.runButton1);
    }
    static Text result() { return tk::getGadgetText(app.g.resultText); }
    static bool marked(int row) {
        return tk::getGadgetItemColour(app.g.fileList, row, tk::frontColour) == colour("crim");
    }

    std::vector<Text> questions;
    bool answer = true;
};

TEST_F(UndoTest, UndoPutsBackWhatTheRunChangedAndIsSpentAfterwards) {
    writeFile("site/a.txt", "old a\n");
    writeFile("site/b.txt", "nothing\n");
    writeFile("site/sub/c.txt", "old c");
    fs::permissions(at("site/sub/c.txt"), fs::perms(0640));
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.undoButton));  // no journal yet
    runOverSite(u"old", u"new");
    ASSERT_EQ(readFile("site/a.txt"), "new a\r\n");
    ASSERT_EQ(ticks(), (std::vector<int>{1, 0, 1}));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.undoButton));

    click(app.g.undoButton);
    EXPECT_EQ(questions, std::vector<Text>{
                             u"Put back from the backup copies the files changed by the last run? Files: 2"});
    EXPECT_EQ(readFile("site/a.txt"), "old a\n");
    EXPECT_EQ(readFile("site/sub/c.txt"), "old c");
    EXPECT_EQ(fs::status(at("site/sub/c.txt")).permissions(), fs::perms(0640));
    EXPECT_EQ(ticks(), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(result(), u"Restored files 2");
    EXPECT_TRUE(messages.empty());
    // Spent: the button goes grey, and the Work tab is open again.
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.undoButton));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));
}

TEST_F(UndoTest, FileEditedSinceIsLeftAloneMarkedAndCounted) {
    writeFile("site/a.txt", "old a");
    writeFile("site/b.txt", "old b");
    runOverSite(u"old", u"new");
    writeFile("site/b.txt", "edited by hand");
    click(app.g.undoButton);
    EXPECT_EQ(readFile("site/a.txt"), "old a");
    EXPECT_EQ(readFile("site/b.txt"), "edited by hand");
    EXPECT_FALSE(marked(0));
    EXPECT_TRUE(marked(1));
    EXPECT_EQ(ticks(), (std::vector<int>{0, 1}));
    EXPECT_EQ(result(), u"Restored files 1\r\nNot changed because of an error: 1");
    // The next run takes the mark away again.
    runOverSite(u"old", u"new");
    EXPECT_FALSE(marked(1));
}

TEST_F(UndoTest, DecliningTheQuestionOrADamagedJournalRestoresNothing) {
    writeFile("site/a.txt", "old a");
    runOverSite(u"old", u"new");
    answer = false;
    click(app.g.undoButton);
    EXPECT_EQ(questions.size(), 1u);
    EXPECT_EQ(readFile("site/a.txt"), "new a\r\n");
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.undoButton));

    const std::string journal = at("bak/" + std::string(journalName));
    std::string bytes = readFile(journal);
    bytes[bytes.find('\n') + 2] ^= 1;
    writeFile(journal, bytes + "file 1 00000000000000000000000000000000 /x y 0000000000000000\n");
    answer = true;
    click(app.g.undoButton);
    EXPECT_EQ(questions.size(), 1u);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              u"The journal of the last run is damaged: nothing was restored.\r\n\"line 2 fails its check\"");
    EXPECT_EQ(readFile("site/a.txt"), "new a\r\n");
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.undoButton));
}

TEST_F(UndoTest, ButtonAndQuestionSpeakTheChosenLanguage) {
    fs::create_directories("language");
    fs::copy_file(shippedLanguages / "Russian.lng", fs::path("language") / "Russian.lng");
    restart();
    setOption("rez", true);
    tk::setGadgetText(app.g.backupTree, folderText("bak"));
    chooseLanguage(u"Russian");
    EXPECT_EQ(tk::getGadgetText(app.g.undoButton), u"Отменить запуск");
    writeFile("site/a.txt", "old");
    runOverSite(u"old", u"new");
    click(app.g.undoButton);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], u"Вернуть из резервных копий файлы, изменённые последним запуском? Файлов: 1");
    EXPECT_EQ(result(), u"Восстановлено файлов 1");
}

// Another window's run or undo holds the backup folder: this one's is refused with error 9
// and touches nothing. A journal without its closing line is named in the question.
TEST_F(UndoTest, FolderInUseRefusesRunAndUndoAndAnUnfinishedRunIsNamedInTheQuestion) {
    writeFile("site/a.txt", "old a");
    writeFile("site/b.txt", "old b");
    const Text inUse = u"Another run or undo is using the backup folder: nothing was done.\r\n\"" +
                       tk::getGadgetText(app.g.backupTree) + u"\"";
    {
        const BackupFolderLock other(at("bak"));
        ASSERT_EQ(other.state(), BackupFolderLock::State::held);
        runOverSite(u"old", u"new");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, inUse);
        EXPECT_EQ(readFile("site/a.txt"), "old a");
        EXPECT_FALSE(fs::exists(at("bak/a.txt")));
    }
    runOverSite(u"old", u"new");
    ASSERT_EQ(readFile("site/b.txt"), "new b\r\n");
    // The closing line lost, as when the run is killed.
    const std::string journal = at("bak/" + std::string(journalName));
    std::string bytes = readFile(journal);
    bytes.erase(bytes.rfind('\n', bytes.size() - 2) + 1);
    writeFile(journal, bytes);
    {
        const BackupFolderLock other(at("bak"));
        click(app.g.undoButton);
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].text, inUse);
        EXPECT_EQ(readFile("site/a.txt"), "new a\r\n");
    }
    click(app.g.undoButton);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[1],
              u"Put back from the backup copies the files changed by the last run? Files: 2\r\n"
              u"The run that wrote the journal did not finish (or its journal was cut short). Files in the journal: 2");
    EXPECT_EQ(readFile("site/a.txt"), "old a");
    EXPECT_EQ(readFile("site/b.txt"), "old b");
}

// Escape during an undo stops it after the file it is on; the files not put back stay in
// the journal, and the next undo puts them back.
TEST_F(UndoTest, StoppedUndoLeavesTheRestForTheNextUndo) {
    for (int i = 0; i < 300; ++i) writeFile("site/f" + std::to_string(i) + ".txt", "old");
    runOverSite(u"old", u"new");
    // Pressed once the undo has begun: its first look at the events finds it.
    tk::testing::clickGadget(app.g.undoButton);
    tk::testing::pressKey(tk::keyEscape);
    processEvents();
    EXPECT_TRUE(tk::windowIsOpen());
    int restored = 0;
    for (int i = 0; i < 300; ++i) restored += readFile("site/f" + std::to_string(i) + ".txt") == "old" ? 1 : 0;
    EXPECT_GT(restored, 0);
    EXPECT_LT(restored, 300);
    EXPECT_EQ(result(), u"The undo was stopped.\r\nRestored files " + numberToText(restored));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.undoButton));

    click(app.g.undoButton);
    EXPECT_EQ(result(), u"Restored files " + numberToText(300 - restored));
    for (int i = 0; i < 300; ++i) EXPECT_EQ(readFile("site/f" + std::to_string(i) + ".txt"), "old") << i;
    EXPECT_TRUE(tk::isGadgetDisabled(app.g.undoButton));
}

}  // namespace
