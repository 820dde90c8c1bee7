// The saved combo-box texts: loading and ordering, the Save and Delete buttons of both
// rows with their refusals, the limit of 30, and the file kept in step at once.

#include <cstdio>
#include <string>
#include <vector>

#include "app/histories.h"
#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

class HistoryTest : public ProgramWindowTest {
protected:
    static std::vector<Text> items(Gadget combo) {
        std::vector<Text> result;
        for (int i = 0; i < tk::countGadgetItems(combo); ++i) {
            result.push_back(tk::getGadgetItemText(combo, i));
        }
        return result;
    }

    static std::vector<std::string> keys(const std::vector<HistoryEntry>& list) {
        std::vector<std::string> result;
        for (const HistoryEntry& entry : list) result.push_back(entry.key);
        return result;
    }

    static std::vector<Text> texts(const std::vector<HistoryEntry>& list) {
        std::vector<Text> result;
        for (const HistoryEntry& entry : list) result.push_back(entry.text);
        return result;
    }

    // The COMBOBOX group of tuning.ini as it is written, up to the next group.
    static std::string comboGroup() {
        const std::string file = settings();
        const size_t start = file.find("[COMBOBOX]\r\n");
        if (start == std::string::npos) return {};
        const size_t end = file.find("\r\n[", start + 1);
        return file.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start);
    }

    static void showTab(int tab) {
        tk::setGadgetState(app.g.mainPanel, tab);
        tk::testing::settle();
    }

    // Types a text into an editor (replacing what it holds) and presses a Save button.
    static void saveFrom(Gadget editor, Gadget saveButton, const Text& value) {
        tk::setGadgetText(editor, value);
        click(saveButton);
    }

    static std::string numbered(const char* prefix, int i) {
        return prefix + std::string(i < 10 ? "0" : "") + std::to_string(i);
    }
};

// ---- Loading -------------------------------------------------------------------------

TEST_F(HistoryTest, KeysLoadInCharacterOrderWithFileOrderForEqualKeys) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "name2 = two", "language = Embedded",
                                      "name10 = ten", "what01 = b", "what00 = a", "than05 = x1",
                                      "than05 = x2", "than00 =   padded\t "}));
    start();
    EXPECT_EQ(keys(app.nameHistory), (std::vector<std::string>{"name10", "name2"}));
    EXPECT_EQ(items(app.g.workCombo), (std::vector<Text>{u"ten", u"two"}));
    EXPECT_EQ(texts(app.whatHistory), (std::vector<Text>{u"a", u"b"}));
    EXPECT_EQ(texts(app.thanHistory), (std::vector<Text>{u"padded", u"x1", u"x2"}));
    for (Gadget combo : {app.g.searchCombo1, app.g.searchCombo2}) {
        EXPECT_EQ(items(combo), (std::vector<Text>{u"a", u"b"}));
    }
    for (Gadget combo : {app.g.replaceCombo1, app.g.replaceCombo2}) {
        EXPECT_EQ(items(combo), (std::vector<Text>{u"padded", u"x1", u"x2"}));
    }
}

TEST_F(HistoryTest, PrefixOfFourCharactersDecidesTheKindWithLetterCase) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "whatever = also a search text",
                                      "WHAT00 = not one", "Name00 = not one", "nam = short",
                                      "thanks = a replacement", "[OTHER]", "what00 = elsewhere"}));
    start();
    EXPECT_EQ(texts(app.whatHistory), std::vector<Text>{u"also a search text"});
    EXPECT_EQ(texts(app.thanHistory), std::vector<Text>{u"a replacement"});
    EXPECT_TRUE(app.nameHistory.empty());
}

TEST_F(HistoryTest, SavedEntriesComeBackNewestFirstAfterARestart) {
    start();
    showTab(0);
    for (const char16_t* value : {u"first", u"second", u"third"}) {
        saveFrom(app.g.searchEditor1, app.g.searchSave1, value);
    }
    for (const char16_t* value : {u"*.htm", u"index"}) {
        tk::setGadgetText(app.g.workCombo, value);
        click(app.g.workSave);
    }
    const std::vector<Text> before = items(app.g.searchCombo1);
    ASSERT_EQ(before, (std::vector<Text>{u"third", u"second", u"first"}));

    restart();
    EXPECT_EQ(items(app.g.searchCombo1), before);
    EXPECT_EQ(items(app.g.searchCombo2), before);
    EXPECT_EQ(items(app.g.workCombo), (std::vector<Text>{u"index", u"*.htm"}));
}

// A wheel turned over a history combo that does not have the focus scrolls past it: it
// chooses no entry and the editor keeps the text typed there. Once the combo has the
// focus, the wheel chooses as the drop-down list does.
TEST_F(HistoryTest, WheelOverAnUnfocusedHistoryComboLeavesTheEditorsText) {
    start();
    showTab(0);
    for (const char16_t* value : {u"first", u"second"}) saveFrom(app.g.searchEditor1, app.g.searchSave1, value);
    tk::setGadgetText(app.g.searchEditor1, u"typed by the user");
    tk::setActiveGadget(app.g.searchEditor1);
    processEvents();
    const int before = tk::getGadgetState(app.g.searchCombo1);
    tk::testing::turnWheelOver(app.g.searchCombo1, -1);
    processEvents();
    EXPECT_EQ(tk::getGadgetState(app.g.searchCombo1), before);
    EXPECT_EQ(tk::getGadgetText(app.g.searchEditor1), u"typed by the user");

    tk::setActiveGadget(app.g.searchCombo1);
    processEvents();
    tk::testing::turnWheelOver(app.g.searchCombo1, -1);
    processEvents();
    EXPECT_NE(tk::getGadgetState(app.g.searchCombo1), before);
    EXPECT_EQ(tk::getGadgetText(app.g.searchEditor1),
              tk::getGadgetItemText(app.g.searchCombo1, tk::getGadgetState(app.g.searchCombo1)));
}

// ---- Saving --------------------------------------------------------------------------

TEST_F(HistoryTest, SearchTextSavedInRowTwoReachesBothRowsAndTheFile) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "language = Embedded", "what00 = older",
                                      "[PATH]", "files = /x/"}));
    start();
    showTab(1);
    const int confirmations = successClips();
    saveFrom(app.g.edi5, app.g.searchSave2, u"newest");

    EXPECT_EQ(items(app.g.searchCombo1), (std::vector<Text>{u"newest", u"older"}));
    EXPECT_EQ(items(app.g.searchCombo2), (std::vector<Text>{u"newest", u"older"}));
    EXPECT_TRUE(items(app.g.replaceCombo2).empty());
    EXPECT_EQ(comboGroup(), "[COMBOBOX]\r\nlanguage = Embedded\r\nwhat00 = newest\r\n"
                            "what01 = older\r\n");
    EXPECT_EQ(successClips(), confirmations + 1);
    EXPECT_EQ(tk::getActiveGadget(), app.g.edi5);
    EXPECT_EQ(tk::getGadgetText(app.g.edi5), u"newest");
}

TEST_F(HistoryTest, FileNamePatternIsTakenFromTheComboAndItsFieldCleared) {
    start();
    showTab(0);
    tk::setGadgetText(app.g.workCombo, u"*report*");
    click(app.g.workSave);
    EXPECT_EQ(items(app.g.workCombo), std::vector<Text>{u"*report*"});
    EXPECT_EQ(tk::getGadgetText(app.g.workCombo), u"");
    EXPECT_EQ(tk::getActiveGadget(), app.g.workCombo);
    EXPECT_TRUE(contains(comboGroup(), "name00 = *report*\r\n"));
}

TEST_F(HistoryTest, ThirtyOneSavesKeepTheThirtyNewest) {
    start();
    showTab(0);
    for (int i = 0; i <= 30; ++i) {
        saveFrom(app.g.searchEditor1, app.g.searchSave1, u"text " + numberToText(i));
    }
    std::vector<Text> expected;
    for (int i = 30; i >= 1; --i) expected.push_back(u"text " + numberToText(i));
    EXPECT_EQ(items(app.g.searchCombo1), expected);
    EXPECT_EQ(items(app.g.searchCombo2), expected);
    EXPECT_EQ(texts(app.whatHistory), expected);

    std::string group = "[COMBOBOX]\r\nlanguage = Embedded\r\n";
    for (int i = 0; i < 30; ++i) group += numbered("what", i) + " = text " + std::to_string(30 - i) + "\r\n";
    EXPECT_EQ(comboGroup(), group);
    EXPECT_EQ(tk::getActiveGadget(), app.g.searchEditor1);
}

TEST_F(HistoryTest, FullListLosesItsOldestEntryEvenWhenANewerOneHasTheSameText) {
    std::string bytes = "\xEF\xBB\xBF\r\n[COMBOBOX]\r\n";
    for (int i = 0; i < 30; ++i) {
        bytes += numbered("what", i) + " = " + (i == 29 || i == 3 ? "same" : "s" + std::to_string(i)) + "\r\n";
    }
    writeFile("tuning.ini", bytes);
    start();
    showTab(1);
    saveFrom(app.g.edi5, app.g.searchSave2, u"fresh");

    for (Gadget combo : {app.g.searchCombo1, app.g.searchCombo2}) {
        const std::vector<Text> shown = items(combo);
        ASSERT_EQ(shown.size(), 30u);
        EXPECT_EQ(shown[0], u"fresh");
        EXPECT_EQ(shown[4], u"same");  // the newer "same" stays, the oldest one went
        EXPECT_EQ(shown[29], u"s28");
    }
    EXPECT_TRUE(contains(comboGroup(), "what04 = same\r\n"));
    EXPECT_TRUE(contains(comboGroup(), "what29 = s28\r\n"));
    EXPECT_FALSE(contains(comboGroup(), "what30"));
}

TEST_F(HistoryTest, HandEditedNumbersAreRenumberedOnTheNextSave) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "than7 = seven", "than03 = three",
                                      "what00 = untouched", "language = Embedded"}));
    start();
    showTab(1);
    saveFrom(app.g.edi6, app.g.replaceSave2, u"new");
    EXPECT_EQ(comboGroup(), "[COMBOBOX]\r\nwhat00 = untouched\r\nlanguage = Embedded\r\n"
                            "than00 = new\r\nthan01 = three\r\nthan02 = seven\r\n");
    EXPECT_EQ(keys(app.thanHistory), (std::vector<std::string>{"than00", "than01", "than02"}));
}

// ---- Refused saves -------------------------------------------------------------------

TEST_F(HistoryTest, TextsOfSeveralLinesAndEmptyTextsAreRefused) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "what00 = kept"}));
    start();
    showTab(0);
    const std::string before = settings();
    const int refusals = errorClips();
    const int confirmations = successClips();

    saveFrom(app.g.searchEditor1, app.g.searchSave1, u"line one\r\nline two");
    EXPECT_EQ(tk::getActiveGadget(), app.g.searchEditor1);
    saveFrom(app.g.replaceEditor1, app.g.replaceSave1, u"ends in a break\n");
    EXPECT_EQ(tk::getActiveGadget(), app.g.replaceEditor1);
    saveFrom(app.g.searchEditor1, app.g.searchSave1, u"");
    tk::setGadgetText(app.g.workCombo, u"");
    click(app.g.workSave);
    EXPECT_EQ(tk::getActiveGadget(), app.g.workCombo);

    EXPECT_EQ(errorClips(), refusals + 4);
    EXPECT_EQ(successClips(), confirmations);
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(items(app.g.searchCombo1), std::vector<Text>{u"kept"});
    EXPECT_TRUE(items(app.g.replaceCombo1).empty());
    EXPECT_TRUE(items(app.g.workCombo).empty());
}

TEST_F(HistoryTest, WithoutTheSettingsFileSaveAndDeleteDoNothingSilently) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "what00 = kept"}));
    start();
    showTab(0);
    ASSERT_EQ(std::remove("tuning.ini"), 0);
    const int clips = errorClips() + successClips();

    saveFrom(app.g.searchEditor1, app.g.searchSave1, u"lost");
    choose(app.g.searchCombo1, 0);
    click(app.g.searchDelete1);

    EXPECT_EQ(errorClips() + successClips(), clips);
    EXPECT_EQ(items(app.g.searchCombo1), std::vector<Text>{u"kept"});
    EXPECT_EQ(texts(app.whatHistory), std::vector<Text>{u"kept"});
    EXPECT_FALSE(fs::exists("tuning.ini"));
}

// ---- Deleting ------------------------------------------------------------------------

TEST_F(HistoryTest, DeletingTheThirdReplacementRenumbersWithoutAGap) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "than00 = a", "than01 = b", "than02 = c",
                                      "than03 = d", "what00 = s", "[PANELS]", "panel = 1"}));
    start();
    showTab(1);
    choose(app.g.replaceCombo2, 2);
    ASSERT_EQ(tk::getGadgetText(app.g.edi6), u"c");
    const int confirmations = successClips();
    click(app.g.replaceDelete2);

    EXPECT_EQ(items(app.g.replaceCombo1), (std::vector<Text>{u"a", u"b", u"d"}));
    EXPECT_EQ(items(app.g.replaceCombo2), (std::vector<Text>{u"a", u"b", u"d"}));
    EXPECT_EQ(comboGroup(), "[COMBOBOX]\r\nwhat00 = s\r\nthan00 = a\r\nthan01 = b\r\n"
                            "than02 = d\r\n");
    EXPECT_EQ(successClips(), confirmations + 1);
    EXPECT_EQ(tk::getActiveGadget(), app.g.edi6);

    restart();
    EXPECT_EQ(items(app.g.replaceCombo1), (std::vector<Text>{u"a", u"b", u"d"}));
}

TEST_F(HistoryTest, DeletingAFileNamePatternClearsTheField) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "name00 = *.txt", "name01 = *.htm"}));
    start();
    showTab(0);
    choose(app.g.workCombo, 1);
    ASSERT_EQ(tk::getGadgetText(app.g.workCombo), u"*.htm");
    click(app.g.workDelete);
    EXPECT_EQ(items(app.g.workCombo), std::vector<Text>{u"*.txt"});
    EXPECT_EQ(tk::getGadgetText(app.g.workCombo), u"");
    EXPECT_EQ(tk::getActiveGadget(), app.g.workCombo);
    EXPECT_EQ(comboGroup(), "[COMBOBOX]\r\nname00 = *.txt\r\n");
}

TEST_F(HistoryTest, DeleteWithoutASelectionOrWithAnEmptyPatternIsRefused) {
    writeFile("tuning.ini", iniBytes({"[COMBOBOX]", "name00 = *.txt", "what00 = s", "than00 = r"}));
    start();
    showTab(1);
    const std::string before = settings();
    const int refusals = errorClips();

    tk::setGadgetState(app.g.searchCombo2, -1);
    click(app.g.searchDelete2);
    EXPECT_EQ(tk::getActiveGadget(), app.g.edi5);
    tk::setGadgetState(app.g.replaceCombo2, -1);
    click(app.g.replaceDelete2);
    EXPECT_EQ(tk::getActiveGadget(), app.g.edi6);

    showTab(0);
    choose(app.g.workCombo, 0);
    tk::setGadgetText(app.g.workCombo, u"");
    click(app.g.workDelete);
    EXPECT_EQ(tk::getActiveGadget(), app.g.workCombo);

    EXPECT_EQ(errorClips(), refusals + 3);
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(items(app.g.workCombo), std::vector<Text>{u"*.txt"});
    EXPECT_EQ(items(app.g.searchCombo2), std::vector<Text>{u"s"});
    EXPECT_EQ(items(app.g.replaceCombo1), std::vector<Text>{u"r"});
}

}  // namespace
