// The error box of each code with and without detail, and the result box of a run: its
// colours, texts and sounds, hidden again afterwards.

#include "tests/support/program_window.h"

#include "ui/colours.h"
#include "ui/sounds.h"

namespace {

using namespace testing_support;

class MessagesTest : public ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        initialise();
        openWindow(workTab);
        setOption("ton", true);
    }
};

TEST_F(MessagesTest, ErrorsWithDetailPutItOnItsOwnLineInQuotes) {
    const struct { int code; const char16_t* text; } cases[] = {
        {0, u"It was not possible to create the Folder."},
        {4, u"On the specified way there are no necessary files"},
        {5, u"For removal of an empty line it is necessary to use regular expressions"},
        {6, u"The encoding of this file is not supported (UTF-16 BE or UTF-32)."},
    };
    for (const auto& c : cases) {
        messages.clear();
        showError(c.code, u"/x/");
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].title, u"Mistake");
        EXPECT_EQ(messages[0].text, Text(c.text) + u"\r\n\"/x/\"") << "code " << c.code;
    }
}

TEST_F(MessagesTest, ErrorsWithoutDetailShowTheirTextAlone) {
    showError(1, Text());
    showError(4, Text());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, u"Field for search empty.");
    EXPECT_EQ(messages[1].text, u"On the specified way there are no necessary files");
}

TEST_F(MessagesTest, CodeTwoAppendsItsDetailUnchanged) {
    showError(2, u"\r\nline\r\n\r\nmissing )");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, u"For not clear reason regular expression was not created.\r\nline\r\n\r\nmissing )");
}

TEST_F(MessagesTest, ErrorBoxSoundsTheErrorClipOnlyWithSoundOn) {
    const int before = voiceStarts(app.errorSound);
    showError(1, Text());
    EXPECT_EQ(voiceStarts(app.errorSound), before + 1);
    setOption("ton", false);
    showError(1, Text());
    EXPECT_EQ(voiceStarts(app.errorSound), before + 1);
    EXPECT_EQ(messages.size(), 2u);
}

TEST_F(MessagesTest, ErrorBoxUsesTheCurrentLanguagesTexts) {
    app.texts["err"] = u"Fehler";
    app.texts["err1"] = u"Suchfeld leer.";
    showError(1, Text());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"Fehler");
    EXPECT_EQ(messages[0].text, u"Suchfeld leer.");
}

TEST_F(MessagesTest, ResultForChangedFilesIsGreenWithTheSuccessClipTwice) {
    const int before = voiceStarts(app.successSound);
    showRunResult(2);
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"It is changed files 2");
    EXPECT_EQ(tk::getGadgetColour(app.g.resultBox, tk::backColour), colour("Mgreen"));
    EXPECT_EQ(tk::getGadgetColour(app.g.resultText, tk::backColour), colour("aquaM"));
    EXPECT_EQ(tk::getGadgetColour(app.g.resultText, tk::frontColour), colour("Sgreen"));
    EXPECT_EQ(voiceStarts(app.successSound), before + 2);
    EXPECT_TRUE(tk::isGadgetHidden(app.g.resultBox));
}

TEST_F(MessagesTest, ResultForNoChangedFileIsPinkWithTheErrorClipTwice) {
    const int before = voiceStarts(app.errorSound);
    showRunResult(0);
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"Concurrences it is Not found");
    EXPECT_EQ(tk::getGadgetColour(app.g.resultBox, tk::backColour), colour("Lpink"));
    EXPECT_EQ(tk::getGadgetColour(app.g.resultText, tk::backColour), colour("mistR"));
    EXPECT_EQ(tk::getGadgetColour(app.g.resultText, tk::frontColour), colour("crim"));
    EXPECT_EQ(voiceStarts(app.errorSound), before + 2);
    EXPECT_TRUE(tk::isGadgetHidden(app.g.resultBox));
}

TEST_F(MessagesTest, ResultNamesFilesNotChangedBecauseOfAnErrorOnASecondLine) {
    showRunResult(3, 2);
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"It is changed files 3\r\nNot changed because of an error: 2");
    EXPECT_EQ(tk::getGadgetColour(app.g.resultBox, tk::backColour), colour("Mgreen"));
    // Nothing changed but files failed: not "not found", since a failed file may hold the
    // text; the failure colours and sound all the same.
    const int errorsBefore = voiceStarts(app.errorSound);
    showRunResult(0, 1);
    EXPECT_EQ(tk::getGadgetText(app.g.resultText), u"It is changed files 0\r\nNot changed because of an error: 1");
    EXPECT_EQ(tk::getGadgetColour(app.g.resultBox, tk::backColour), colour("Lpink"));
    EXPECT_EQ(tk::getGadgetColour(app.g.resultText, tk::frontColour), colour("crim"));
    EXPECT_EQ(voiceStarts(app.errorSound), errorsBefore + 2);
}

TEST_F(MessagesTest, ResultBoxKeepsItsPlace) {
    const int x = tk::gadgetX(app.g.resultBox), y = tk::gadgetY(app.g.resultBox);
    tk::testing::dragWindowSize(900, 800);
    processEvents();
    showRunResult(1);
    EXPECT_EQ(tk::gadgetX(app.g.resultBox), x);
    EXPECT_EQ(tk::gadgetY(app.g.resultBox), y);
}

}  // namespace
