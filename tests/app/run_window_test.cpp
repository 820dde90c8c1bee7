// The run over the file set from the Work tab's run button: what is written, the ticks,
// the counters, the lock, the error marks and the result box.

#include "tests/support/program_window.h"

#include <csignal>
#include <cstdlib>
#include <sys/resource.h>

#include "app/progress.h"
#include "app/run.h"
#include "ui/colours.h"

namespace {

using namespace testing_support;

class RunFilesTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        for (const char* key : {"reg1", "spa1", "hek", "rez"}) setOption(key, false);
        setOption("cas1", true);
        for (const char* key : {"txt", "hta", "htm", "htl"}) setToggle(key, false);
        setToggle("txt", true);
        tk::setGadgetText(app.g.workCombo, Text());
        makeFolder("site");
    }

    // Builds the set from the folder "site" as "Add folders" does.
    void addSite() {
        pathAnswer = folderText("site");
        click(app.g.addFoldersButton);
        messages.clear();
    }

    void run(const Text& search, const Text& replacement) {
        tk::setGadgetText(app.g.searchEditor1, search);
        tk::setGadgetText(app.g.replaceEditor1, replacement);
        click(app.g.runButton1);
    }

    static Text result() { return tk::getGadgetText(app.g.resultText); }
    static bool marked(int row) {
        return tk::getGadgetItemColour(app.g.fileList, row, tk::frontColour) == colour("crim");
    }
};

TEST_F(RunFilesTest, ChangedFilesAreWrittenTickedAndCounted) {
    writeFile("site/a.txt", "old\nold");
    writeFile("site/b.txt", "nothing");
    writeFile("site/sub/c.txt", "an old one");
    addSite();
    run(u"old", u"new");
    EXPECT_EQ(readFile("site/a.txt"), "new\r\nnew\r\n");
    EXPECT_EQ(readFile("site/b.txt"), "nothing");
    EXPECT_EQ(readFile("site/sub/c.txt"), "an new one\r\n");
    EXPECT_EQ(ticks(), (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"2");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"3");
    EXPECT_EQ(result(), u"It is changed files 2");
    EXPECT_TRUE(tk::isGadgetHidden(app.g.resultBox));
    EXPECT_TRUE(messages.empty());
}

// "Add folders" takes a link to a file as a file: the file is still rewritten once a run.
TEST_F(RunFilesTest, FileAndASymbolicLinkToItAreRewrittenOncePerRun) {
    writeFile("site/a.txt", "x");
    fs::create_symlink("a.txt", at("site/b.txt"));
    addSite();
    ASSERT_EQ(tk::countGadgetItems(app.g.fileList), 2);
    run(u"x", u"xx");
    EXPECT_EQ(readFile("site/a.txt"), "xx\r\n");
    EXPECT_EQ(ticks(), (std::vector<int>{1, 0}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"1");
    EXPECT_FALSE(marked(0) || marked(1));
    EXPECT_TRUE(messages.empty());
    run(u"x", u"xx");
    EXPECT_EQ(readFile("site/a.txt"), "xxxx\r\n");
}

TEST_F(RunFilesTest, RegexRunReplacesEachMatchWhereItIs) {
    writeFile("site/a.txt", "1 12\n");
    addSite();
    setOption("reg1", true);
    run(u"\\d+", u"N");
    EXPECT_EQ(readFile("site/a.txt"), "N N\r\n");
}

TEST_F(RunFilesTest, TicksStayUntilARunWithResetCheckBoxOn) {
    writeFile("site/a.txt", "old");
    writeFile("site/b.txt", "old");
    addSite();
    run(u"old", u"new");
    EXPECT_EQ(ticks(), (std::vector<int>{1, 1}));
    writeFile("site/b.txt", "old");
    run(u"old", u"new");
    EXPECT_EQ(ticks(), (std::vector<int>{1, 1}));
    setOption("hek", true);
    writeFile("site/b.txt", "old");
    run(u"old", u"new");
    EXPECT_EQ(ticks(), (std::vector<int>{0, 1}));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"1");
}

TEST_F(RunFilesTest, RefusedRunStillUnticksWithResetCheckBoxOn) {
    writeFile("site/a.txt", "old");
    addSite();
    run(u"old", u"new");
    ASSERT_EQ(ticks(), std::vector<int>{1});
    setOption("hek", true);
    run(u"", u"x");
    EXPECT_EQ(ticks(), std::vector<int>{0});
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"Field for search empty.");
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.searchEditor1));
}

TEST_F(RunFilesTest, EmptySetReportsNothingFound) {
    run(u"old", u"new");
    EXPECT_EQ(result(), u"Concurrences it is Not found");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"0");
    EXPECT_EQ(tk::getGadgetColour(app.g.resultBox, tk::backColour), colour("Lpink"));
}

TEST_F(RunFilesTest, WorkTabIsLockedWhileTheRunGoesOn) {
    writeFile("site/a.txt", "old");
    writeFile("site/b.txt", std::string("\xFE\xFF\0o", 4));
    addSite();
    std::vector<bool> locked;
    onMessage = [&] {
        for (Gadget gadget : {app.g.addFilesButton, app.g.addFoldersButton, app.g.workSave,
                              app.g.workDelete, app.g.searchSave1, app.g.searchDelete1, app.g.replaceSave1,
                              app.g.replaceDelete1, app.g.workCombo, app.g.searchCombo1, app.g.replaceCombo1,
                              app.g.searchEditor1, app.g.replaceEditor1, app.g.searchLabel1, app.g.replaceLabel1,
                              app.extensions["txt"].gadget, app.extensions["htl"].gadget,
                              app.options["reg1"].gadget, app.options["cas1"].gadget, app.options["spa1"].gadget})
            locked.push_back(tk::isGadgetDisabled(gadget));
        locked.push_back(!tk::isGadgetDisabled(app.g.fileList));
        locked.push_back(!tk::isGadgetDisabled(app.options["rez"].gadget));
        // The countdown has reached the second file.
        locked.push_back(tk::getGadgetText(app.g.txt1) == u"1");
        // The run button stays, to stop the run.
        locked.push_back(!tk::isGadgetDisabled(app.g.runButton1));
        locked.push_back(tk::getGadgetText(app.g.runButton1) == u"Stop");
    };
    run(u"o", u"0");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(locked, std::vector<bool>(25, true));
    EXPECT_FALSE(tk::isGadgetDisabled(app.g.runButton1));
    EXPECT_EQ(tk::getGadgetText(app.g.runButton1), u"To find and replace");
    EXPECT_FALSE(tk::isGadgetDisabled(app.options["spa1"].gadget));
}

TEST_F(RunFilesTest, BigEndianFileShowsErrorSixAndIsSkipped) {
    const std::string bytes("\xFE\xFF\0o\0l\0d", 8);
    writeFile("site/a.txt", bytes);
    writeFile("site/b.txt", "old");
    addSite();
    run(u"old", u"new");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              u"The encoding of this file is not supported (UTF-16 BE or UTF-32).\r\n\"" + folderText("site") + u"a.txt\"");
    EXPECT_EQ(readFile("site/a.txt"), bytes);
    EXPECT_EQ(readFile("site/b.txt"), "new\r\n");
    EXPECT_EQ(ticks(), (std::vector<int>{0, 1}));
    EXPECT_EQ(result(), u"It is changed files 1");
}

TEST_F(RunFilesTest, ZeroByteFileIsLeftAloneAndReported) {
    const std::string bytes("old\0old", 7);
    writeFile("site/a.txt", bytes);
    writeFile("site/b.txt", std::string("none\0", 5));
    addSite();
    run(u"old", u"new");
    EXPECT_EQ(readFile("site/a.txt"), bytes);
    EXPECT_EQ(ticks(), (std::vector<int>{0, 0}));
    EXPECT_TRUE(marked(0));
    EXPECT_FALSE(marked(1));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"0");
    EXPECT_EQ(result(), u"It is changed files 0\r\nNot changed because of an error: 1");
}

TEST_F(RunFilesTest, ReadOnlyFileAndFolderAreNotCountedButMarked) {
    writeFile("site/a.txt", "old");
    writeFile("site/locked/b.txt", "old");
    writeFile("site/c.txt", "old");
    chmod(at("site/a.txt").c_str(), 0444);
    chmod(at("site/locked/b.txt").c_str(), 0666);
    chmod(at("site/locked").c_str(), 0555);
    chmod(at("site/c.txt").c_str(), 0666);
    chmod(at("site").c_str(), 0777);
    addSite();
    {
        AsOrdinaryUser ordinary;
        run(u"old", u"new");
    }
    EXPECT_EQ(readFile("site/a.txt"), "old");
    EXPECT_EQ(readFile("site/locked/b.txt"), "old");
    EXPECT_EQ(readFile("site/c.txt"), "new\r\n");
    EXPECT_EQ(ticks(), (std::vector<int>{0, 1, 0}));
    EXPECT_TRUE(marked(0));
    EXPECT_FALSE(marked(1));
    EXPECT_TRUE(marked(2));
    EXPECT_EQ(tk::getGadgetText(app.g.txt3), u"1");
    EXPECT_EQ(result(), u"It is changed files 1\r\nNot changed because of an error: 2");
}

TEST_F(RunFilesTest, FailedWriteLeavesTheOriginalIntact) {
    const std::string original = "old " + std::string(5000, 'x');
    writeFile("site/a.txt", original);
    addSite();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    run(u"old", u"new");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(readFile("site/a.txt"), original);
    EXPECT_EQ(std::distance(fs::directory_iterator(at("site")), fs::directory_iterator()), 1);
    EXPECT_TRUE(marked(0));
    EXPECT_EQ(result(), u"It is changed files 0\r\nNot changed because of an error: 1");
}

TEST_F(RunFilesTest, MarkOfAFailedFileGoesOnceItIsChanged) {
    writeFile("site/a.txt", "old");
    chmod(at("site/a.txt").c_str(), 0444);
    addSite();
    {
        AsOrdinaryUser ordinary;
        run(u"old", u"new");
    }
    ASSERT_TRUE(marked(0));
    chmod(at("site/a.txt").c_str(), 0666);
    run(u"old", u"new");
    EXPECT_FALSE(marked(0));
    EXPECT_EQ(ticks(), std::vector<int>{1});
}

TEST_F(RunFilesTest, FileNamedWithBytesThatAreNotUtf8IsRewritten) {
    writeFile("site/caf\xE9.txt", "old");
    addSite();
    run(u"old", u"new");
    EXPECT_EQ(readFile("site/caf\xE9.txt"), "new\r\n");
}

// The user must learn which files were not searched: a file that vanished, cannot be
// read, or is a link that points nowhere is marked and counted, without a box of its own.
TEST_F(RunFilesTest, FilesThatCannotBeReadAreMarkedAndCountedAsErrors) {
    writeFile("site/a.txt", "old");
    writeFile("site/b.txt", "old");
    writeFile("site/c.txt", "old");
    fs::create_symlink(at("site/missing.txt"), at("site/d.txt"));
    chmod(at("site").c_str(), 0777);
    chmod(at("site/b.txt").c_str(), 0666);
    chmod(at("site/c.txt").c_str(), 0);
    addSite();
    fs::remove(at("site/a.txt"));
    {
        AsOrdinaryUser ordinary;
        run(u"old", u"new");
    }
    EXPECT_EQ(ticks(), (std::vector<int>{0, 1, 0, 0}));
    EXPECT_TRUE(marked(0));
    EXPECT_FALSE(marked(1));
    EXPECT_TRUE(marked(2));
    EXPECT_TRUE(marked(3));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(result(), u"It is changed files 1\r\nNot changed because of an error: 3");
    EXPECT_EQ(tk::getGadgetText(app.g.txt1), u"4");
}

// Chooses a code page in the Setting tab's selector by the name it shows.
void chooseCodePage(const Text& shown) {
    const Gadget selector = app.g.codePageCombo;
    for (int item = 0; item < tk::countGadgetItems(selector); ++item) {
        if (tk::getGadgetItemText(selector, item) == shown) {
            choose(selector, item);
            return;
        }
    }
    FAIL() << "code page not offered: " << textToUtf8(shown);
}

// Files without a mark are read and written in the chosen code page; a file whose bytes
// that code page would not give back is left alone and counted as an error.
TEST_F(RunFilesTest, ChosenCodePageReadsAndWritesFilesWithoutAMark) {
    const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0!\r\n";  // "Привет, мир!"
    writeFile("site/a.txt", cp1251);
    addSite();
    chooseCodePage(u"CP1251");
    run(u"\u043C\u0438\u0440", u"\u0441\u0432\u0435\u0442");  // "мир" -> "свет"
    EXPECT_EQ(readFile("site/a.txt"), "\xCF\xF0\xE8\xE2\xE5\xF2, \xF1\xE2\xE5\xF2!\r\n");
    EXPECT_EQ(ticks(), std::vector<int>{1});

    // ED 40 reads as U+7E8A, which CP932 writes back as FA 5C.
    writeFile("site/a.txt", "old \xED\x40\r\n");
    chooseCodePage(u"CP932");
    run(u"old", u"new");
    EXPECT_EQ(readFile("site/a.txt"), "old \xED\x40\r\n");
    EXPECT_TRUE(marked(0));
    EXPECT_EQ(result(), u"It is changed files 0\r\nNot changed because of an error: 1");
}

// "Keep line ends" writes each line's own line end back; off, every line ends with CR LF.
TEST_F(RunFilesTest, KeepLineEndsSwitchKeepsEachLineEnd) {
    const std::string mixed = "a old\r\nb\nold c";
    writeFile("site/a.txt", mixed);
    addSite();
    setOption("lin", true);
    run(u"old", u"new\r\nx");
    EXPECT_EQ(readFile("site/a.txt"), "a new\r\nx\r\nb\nnew\r\nx c");
    writeFile("site/a.txt", mixed);
    setOption("lin", false);
    run(u"old", u"new\r\nx");
    EXPECT_EQ(readFile("site/a.txt"), "a new\r\nx\r\nb\r\nnew\r\nx c\r\n");
}

// "System" is the character set of the user's locale: a Latin-1 locale reads and writes
// Latin-1 files, whatever locale the program puts itself on for its own use.
TEST_F(RunFilesTest, SystemCodePageIsTheCharacterSetOfTheUsersLocale) {
    const std::string locales = at("locales");
    fs::create_directories(locales);
    const std::string make = "localedef -i en_US -f ISO-8859-1 " + locales + "/en_US.ISO-8859-1 >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "localedef or the locale sources (package locales) are missing";
    const char* const saved = std::getenv("LC_ALL");
    const std::string savedAll = saved ? saved : "";
    setenv("LOCPATH", locales.c_str(), 1);
    setenv("LC_ALL", "en_US.ISO-8859-1", 1);
    stop();
    start();
    unsetenv("LOCPATH");
    if (saved) setenv("LC_ALL", savedAll.c_str(), 1);
    else unsetenv("LC_ALL");
    EXPECT_EQ(tk::getGadgetItemText(app.g.codePageCombo, 0), u"System (ISO-8859-1)");
    EXPECT_EQ(tk::getGadgetState(app.g.codePageCombo), 0);
    writeFile("site/a.txt", "caf\xE9 old\r\n");
    for (const char* key : {"reg1", "spa1", "hek", "rez", "lin"}) setOption(key, false);
    setToggle("txt", true);
    addSite();
    run(u"old", u"\u00E9t\u00E9");
    EXPECT_EQ(readFile("site/a.txt"), "caf\xE9 \xE9t\xE9\r\n");
}

// A run over a large set stops after the files being worked on, by Escape (whatever "Exit
// on ESC" says) or by its button, which reads "Stop" meanwhile: some files are changed,
// every file is whole, the box says so, and the undo puts back every changed file.
TEST_F(RunFilesTest, RunStoppedByEscapeOrItsButtonLeavesWholeFilesThatTheUndoPutsBack) {
    const int files = 3000;
    for (int i = 0; i < files; ++i)
        writeFile("site/d" + std::to_string(i % 30) + "/f" + std::to_string(i) + ".txt", "old " + std::to_string(i));
    addSite();
    makeFolder("bak");
    setOption("rez", true);
    tk::setGadgetText(app.g.backupTree, folderText("bak"));
    processEvents();
    ASSERT_EQ(tk::getGadgetState(app.options["esc"].gadget), 1);
    for (const bool byButton : {false, true}) {
        SCOPED_TRACE(byButton ? "by the button" : "by Escape");
        tk::setGadgetText(app.g.searchEditor1, u"old");
        tk::setGadgetText(app.g.replaceEditor1, u"new");
        // Queued before the run, so that the run's first look at the events finds it.
        if (byButton) {
            tk::testing::clickGadget(app.g.runButton1);
            tk::testing::clickGadget(app.g.runButton1);
            processEvents();
        } else {
            tk::testing::pressKey(tk::keyEscape);
            runFiles();
        }
        EXPECT_TRUE(tk::windowIsOpen());
        int changed = 0;
        for (int i = 0; i < files; ++i) {
            const std::string bytes = readFile("site/d" + std::to_string(i % 30) + "/f" + std::to_string(i) + ".txt");
            if (bytes == "new " + std::to_string(i) + "\r\n") {
                ++changed;
            } else {
                EXPECT_EQ(bytes, "old " + std::to_string(i)) << i;
            }
        }
        EXPECT_GT(changed, 0);
        EXPECT_LT(changed, files);
        EXPECT_EQ(result(), u"The run was stopped.\r\nIt is changed files " + numberToText(changed));
        EXPECT_EQ(tk::getGadgetText(app.g.runButton1), u"To find and replace");

        tk::setQuestionBoxHook([](const Text&, const Text&) { return true; });
        click(app.g.undoButton);
        tk::setQuestionBoxHook(nullptr);
        EXPECT_EQ(result(), u"Restored files " + numberToText(changed));
        for (int i = 0; i < files; i += 97)
            EXPECT_EQ(readFile("site/d" + std::to_string(i % 30) + "/f" + std::to_string(i) + ".txt"),
                      "old " + std::to_string(i));
    }
}

// The close box during a run stops it after the files being worked on, then ends the
// program as a close does; the files are whole.
TEST_F(RunFilesTest, CloseRequestDuringARunStopsItAndEndsTheLoop) {
    for (int i = 0; i < 2000; ++i) writeFile("site/f" + std::to_string(i) + ".txt", "old");
    addSite();
    tk::setGadgetText(app.g.searchEditor1, u"old");
    tk::setGadgetText(app.g.replaceEditor1, u"new");
    tk::testing::clickGadget(app.g.runButton1);
    tk::testing::clickCloseBox();
    tk::testing::settle();
    bool loopGoesOn = true;
    while (const int kind = tk::pollEvent()) loopGoesOn = handleEvent(kind) && loopGoesOn;
    EXPECT_FALSE(loopGoesOn);
    int changed = 0;
    for (int i = 0; i < 2000; ++i) {
        const std::string bytes = readFile("site/f" + std::to_string(i) + ".txt");
        changed += bytes == "new\r\n" ? 1 : 0;
        if (bytes != "new\r\n") {
            EXPECT_EQ(bytes, "old") << i;
        }
    }
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 2000);
}

// A red row says why: its tool tip and its accessible description give the reason (a text
// of the text table, so in the chosen language); the next run takes them away with the
// mark.
TEST_F(RunFilesTest, FailedRowSaysWhyInItsToolTipAndToScreenReaders) {
    writeFile("site/a.txt", "old");
    writeFile("site/b.txt", std::string("old\0", 4));
    writeFile("site/c.txt", "old");
    fs::permissions(at("site/c.txt"), fs::perms(0444));
    addSite();
    run(u"old", u"new");
    EXPECT_EQ(tk::testing::shownRowToolTip(app.g.fileList, 0), u"");
    const Text zeroByte =
        u"Writing it back would change bytes that were not replaced (a zero byte, or bytes its code page cannot hold).";
    EXPECT_EQ(tk::testing::shownRowToolTip(app.g.fileList, 1), zeroByte);
    EXPECT_EQ(tk::testing::accessibleRowDescription(app.g.fileList, 1), zeroByte);
    EXPECT_EQ(tk::testing::shownRowToolTip(app.g.fileList, 2), u"It is read-only, or its folder may not be written.");
    EXPECT_EQ(tk::testing::accessibleRowDescription(app.g.fileList, 2),
              u"It is read-only, or its folder may not be written.");

    fs::permissions(at("site/c.txt"), fs::perms(0644));
    writeFile("site/b.txt", "nothing");
    run(u"new", u"newer");
    EXPECT_EQ(tk::testing::shownRowToolTip(app.g.fileList, 1), u"");
    EXPECT_EQ(tk::testing::accessibleRowDescription(app.g.fileList, 2), u"");
}

// Long work shows a progress bar, which screen readers know as one: files done of files to
// do while the run goes on (seen here when a file's error box stops it midway), gone when
// it ends. The delay before it shows is 0 here, half a second in the program.
TEST_F(RunFilesTest, ProgressBarShowsFilesDoneWhileTheRunGoesOnAndGoesAfter) {
    const int saved = progressDelayMilliseconds;
    progressDelayMilliseconds = 0;
    for (int i = 0; i < 400; ++i) writeFile("site/f" + std::to_string(i / 100) + std::to_string(i % 100) + ".txt", "old");
    // An unsupported file after the first hundred: its error box is shown during the run.
    writeFile("site/f2.txt", std::string("\xFE\xFF\0o", 4));
    addSite();
    bool shown = false;
    int value = -1;
    int maximum = -1;
    Text barText;
    bool announced = false;
    onMessage = [&] {
        shown = !tk::isGadgetHidden(app.g.progressBar);
        value = tk::testing::progressValue(app.g.progressBar);
        maximum = tk::testing::progressMaximum(app.g.progressBar);
        barText = tk::testing::progressText(app.g.progressBar);
        announced = tk::testing::isProgressBarToAssistiveTechnology(app.g.progressBar);
    };
    run(u"old", u"new");
    progressDelayMilliseconds = saved;
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(announced);
    EXPECT_EQ(maximum, 401);
    EXPECT_GT(value, 0);
    EXPECT_LT(value, 401);
    EXPECT_EQ(barText.substr(barText.find(u" / ")), u" / 401");
    EXPECT_EQ(barText, numberToText(value) + u" / 401");
    EXPECT_TRUE(tk::isGadgetHidden(app.g.progressBar));
}

}  // namespace
