// The language selector and the language files: what is offered, which file is loaded,
// the built-in fallback, and every text of the window that a language changes.

#include <string>
#include <vector>

#include "app/window_title.h"
#include "app/languages.h"
#include "ini/settings_file.h"
#include "tests/support/program_window.h"

namespace {

using namespace testing_support;

// The language folder shipped beside the program, in the source tree.
const fs::path shippedLanguages = fs::path(__FILE__).parent_path().parent_path().parent_path() / "language";

class LanguageTest : public ProgramWindowTest {
protected:
    // A language file of the TEXT group with the given key lines, UTF-8 with the mark.
    static void writeLanguage(const std::string& fileName, std::initializer_list<const char*> lines) {
        std::string bytes = "\xEF\xBB\xBF[TEXT]\r\n";
        for (const char* line : lines) bytes += std::string(line) + "\r\n";
        writeFile("language/" + fileName, bytes);
    }

    static void useLanguageSetting(const char* name) {
        writeFile("tuning.ini", iniBytes({"[COMBOBOX]", (std::string("language = ") + name).c_str()}));
    }

    static std::vector<Text> offered() {
        std::vector<Text> items;
        for (int i = 0; i < tk::countGadgetItems(app.g.languageCombo); ++i) {
            items.push_back(tk::getGadgetItemText(app.g.languageCombo, i));
        }
        return items;
    }

    static Gadget selector() { return app.g.languageCombo; }

    // Every current text equals its built-in text, except the keys named.
    static void expectBuiltInTextsExcept(std::initializer_list<const char*> changed) {
        for (const auto& [key, builtIn] : app.defaultTexts) {
            bool expectChanged = false;
            for (const char* c : changed) expectChanged = expectChanged || key == c;
            if (!expectChanged) {
                EXPECT_EQ(text(key), builtIn) << key;
            }
        }
    }

    static std::vector<Gadget> saveButtons() {
        const Gadgets& g = app.g;
        return {g.workSave, g.searchSave1, g.replaceSave1, g.searchSave2, g.replaceSave2};
    }
    static std::vector<Gadget> deleteButtons() {
        const Gadgets& g = app.g;
        return {g.workDelete, g.searchDelete1, g.replaceDelete1, g.searchDelete2, g.replaceDelete2};
    }
};

// ---- What the selector offers --------------------------------------------------------

TEST_F(LanguageTest, OffersLanguageFilesSortedByNameWhateverTheirCase) {
    writeLanguage("zulu.lng", {});
    writeLanguage("FRENCH.Lng", {});
    writeLanguage("Dutch.lng", {});
    writeLanguage("notes.txt", {});
    writeLanguage("english.lng.bak", {});
    fs::create_directories("language/folder.lng");
    start();
    // "Dutch.lng" < "FRENCH.Lng" < "zulu.lng" by their bytes.
    EXPECT_EQ(offered(), (std::vector<Text>{u"Embedded", u"Dutch", u"French", u"Zulu"}));
    EXPECT_EQ(tk::getGadgetState(selector()), 0);
}

TEST_F(LanguageTest, UpperCaseFileIsOfferedNormalisedAndLoadedByItsRealName) {
    writeLanguage("RUSSIAN.LNG", {"but9 = Сохранить"});
    useLanguageSetting("russian");
    start();
    ASSERT_EQ(offered(), (std::vector<Text>{u"Embedded", u"Russian"}));
    EXPECT_EQ(tk::getGadgetState(selector()), 1);
    EXPECT_EQ(tk::getGadgetText(app.g.workSave), u"Сохранить");
    choose(selector(), 0);
    EXPECT_EQ(tk::getGadgetText(app.g.workSave), u"Save");
    choose(selector(), 1);
    EXPECT_EQ(text("but9"), u"Сохранить");
}

TEST_F(LanguageTest, EmbeddedFileIsLoadedByBothEmbeddedEntries) {
    writeLanguage("embedded.lng", {"but9 = Keep"});
    start();
    ASSERT_EQ(offered(), (std::vector<Text>{u"Embedded", u"Embedded"}));
    EXPECT_EQ(text("but9"), u"Keep");
    choose(selector(), 0);
    EXPECT_EQ(tk::getGadgetState(selector()), 0);
    EXPECT_EQ(text("but9"), u"Keep");
    choose(selector(), 1);
    EXPECT_EQ(text("but9"), u"Keep");
}

// ---- Texts with the built-in fallback --------------------------------------------------

TEST_F(LanguageTest, FileSettingOnlyTheSaveCaptionChangesOnlyTheSaveButtons) {
    writeLanguage("Brief.lng", {"but9 = Sichern"});
    start();
    choose(selector(), 1);
    expectBuiltInTextsExcept({"but9"});
    for (Gadget button : saveButtons()) EXPECT_EQ(tk::getGadgetText(button), u"Sichern");
    for (Gadget button : deleteButtons()) EXPECT_EQ(tk::getGadgetText(button), u"Delete");
}

TEST_F(LanguageTest, EmptyAndBlankValuesKeepTheBuiltInText) {
    writeLanguage("Gaps.lng", {"err1 =", "err2 = \t ", "err3 = Set"});
    start();
    choose(selector(), 1);
    EXPECT_EQ(text("err1"), u"Field for search empty.");
    EXPECT_EQ(text("err2"), app.defaultTexts.get("err2"));
    EXPECT_EQ(text("err3"), u"Set");
}

// ---- The window title ----------------------------------------------------------------

TEST_F(LanguageTest, NameFromTheFileLeadsTheWindowTitle) {
    writeLanguage("Named.lng", {"name = Finder", "jan = Jan", "feb = Feb", "mar = Mar",
                                "apr = Apr", "may = Mai", "jun = Jun", "jul = Jul", "aug = Aug",
                                "sep = Sep", "oct = Okt", "nov = Nov", "dec = Dez"});
    start();
    const Text builtInTitle = tk::windowTitle();
    EXPECT_EQ(builtInTitle.rfind(u"   V 1.4   ", 0), 0u);
    EXPECT_EQ(builtInTitle, composeWindowTitle());

    choose(selector(), 1);
    const Text title = tk::windowTitle();
    EXPECT_EQ(title.rfind(u"Finder   V 1.4   ", 0), 0u);
    EXPECT_EQ(title, composeWindowTitle());
    const std::vector<Text> months = {u"Jan", u"Feb", u"Mar", u"Apr", u"Mai", u"Jun",
                                      u"Jul", u"Aug", u"Sep", u"Okt", u"Nov", u"Dez"};
    bool monthShown = false;
    for (const Text& month : months) monthShown = monthShown || title.find(u"  " + month + u"  ") != Text::npos;
    EXPECT_TRUE(monthShown) << textToUtf8(title);
}

// ---- Relabelling the whole window ------------------------------------------------------

TEST_F(LanguageTest, AppliedLanguageRelabelsEveryTextOfTheWindow) {
    fs::create_directories("language");
    fs::copy_file(shippedLanguages / "German.lng", "language/German.lng");
    useLanguageSetting("German");
    start();
    ASSERT_EQ(tk::getGadgetText(selector()), u"German");
    const Gadgets& g = app.g;
    ASSERT_EQ(text("but9"), u"Speichern");

    for (const char* key : {"esc", "tip", "ton", "rez", "hek"}) {
        EXPECT_EQ(tk::getGadgetText(app.options[key].gadget), text(key)) << key;
        EXPECT_NE(text(key), app.defaultTexts.get(key)) << key;
    }
    EXPECT_EQ(tk::getGadgetItemText(g.mainPanel, 0), text("tabW") + u" ");
    EXPECT_EQ(tk::getGadgetItemText(g.mainPanel, 1), text("tabP") + u" ");
    EXPECT_EQ(tk::getGadgetItemText(g.mainPanel, 2), text("tabS") + u" ");
    for (int item = 1; item <= 7; ++item) {
        EXPECT_EQ(tk::menuItemText(item), text("pop" + std::to_string(item))) << item;
    }
    EXPECT_EQ(tk::getGadgetText(g.searchLabel1), text("txt5"));
    EXPECT_EQ(tk::getGadgetText(g.searchLabel2), text("txt5"));
    EXPECT_EQ(tk::getGadgetText(g.replaceLabel1), text("txt6"));
    EXPECT_EQ(tk::getGadgetText(g.replaceLabel2), text("txt6"));
    EXPECT_EQ(tk::getGadgetText(g.sampleLabel), text("txt7"));
    EXPECT_EQ(tk::getGadgetText(g.runButton1), text("but7"));
    EXPECT_EQ(tk::getGadgetText(g.runButton2), text("but7"));
    for (Gadget button : saveButtons()) EXPECT_EQ(tk::getGadgetText(button), u"Speichern");
    for (Gadget button : deleteButtons()) EXPECT_EQ(tk::getGadgetText(button), u"Löschen");
    // "Helps" is on by default, so the tips are attached in the new language.
    EXPECT_EQ(tk::gadgetToolTipText(app.options["tip"].gadget), u" " + text("tit1") + u" ");
    EXPECT_EQ(tk::gadgetToolTipText(g.addFilesButton), u" " + text("tit12") + u" ");
    EXPECT_NE(text("tit12"), app.defaultTexts.get("tit12"));

    choose(selector(), 0);
    EXPECT_EQ(tk::getGadgetText(app.options["tip"].gadget), u"Helps");
    EXPECT_EQ(tk::getGadgetItemText(g.mainPanel, 2), u"Setting ");
    EXPECT_EQ(tk::menuItemText(7), u"Insert from buffer");
    EXPECT_EQ(tk::getGadgetText(g.runButton2), u"To find and replace");
    EXPECT_EQ(tk::gadgetToolTipText(g.addFilesButton), u" Add files ");
}

TEST_F(LanguageTest, RelabellingARunButtonLeavesItsOptionBoxesAlone) {
    writeLanguage("Dutch.lng", {"but7 = Zoeken en vervangen"});
    writeFile("tuning.ini", iniBytes({"[CHECKBOX]", "reg_exp1 = 1", "case1 = 0", "space2 = 1"}));
    start();
    struct Box { Gadget gadget; int state, x, y, width; bool hidden; };
    auto look = [](const char* key) {
        Gadget box = app.options[key].gadget;
        return Box{box, tk::getGadgetState(box), tk::gadgetX(box), tk::gadgetY(box),
                   tk::gadgetWidth(box), tk::isGadgetHidden(box)};
    };
    std::vector<Box> before;
    for (const char* key : {"reg1", "cas1", "spa1", "reg2", "cas2", "spa2"}) before.push_back(look(key));

    choose(selector(), 1);
    ASSERT_EQ(tk::getGadgetText(app.g.runButton1), u"Zoeken en vervangen");
    size_t i = 0;
    for (const char* key : {"reg1", "cas1", "spa1", "reg2", "cas2", "spa2"}) {
        const Box now = look(key);
        EXPECT_EQ(now.state, before[i].state) << key;
        EXPECT_EQ(now.x, before[i].x) << key;
        EXPECT_EQ(now.y, before[i].y) << key;
        EXPECT_EQ(now.width, before[i].width) << key;
        EXPECT_EQ(now.hidden, before[i].hidden) << key;
        ++i;
    }
    EXPECT_EQ(tk::getGadgetState(app.options["reg1"].gadget), 1);
    EXPECT_EQ(tk::getGadgetState(app.options["spa2"].gadget), 1);
}

// ---- The shipped language files ------------------------------------------------------

TEST_F(LanguageTest, ShippedFilesGiveEveryKeyAText) {
    initialiseAppState(workingDirectory(), 1280, 1024);
    ASSERT_EQ(app.defaultTexts.size(), 110u);
    for (const char* name : {"Russian.lng", "German.lng"}) {
        SCOPED_TRACE(name);
        const fs::path path = shippedLanguages / name;
        ASSERT_TRUE(fs::exists(path));
        EXPECT_EQ(readFile(path.string()).rfind("\xEF\xBB\xBF", 0), 0u);
        ASSERT_TRUE(ini::open(path.string()));
        ASSERT_TRUE(ini::useGroup("TEXT"));
        for (const auto& [key, builtIn] : app.defaultTexts) {
            if (key == "name") continue;  // the built-in name is empty too
            EXPECT_FALSE(ini::getText(key, u"").empty()) << key;
        }
        EXPECT_FALSE(ini::getText("name", u"").empty());
        ini::close();
    }
}

TEST_F(LanguageTest, ShippedLanguagesAreOfferedAndReplaceTheEnglishTexts) {
    fs::create_directories("language");
    for (const char* name : {"Russian.lng", "German.lng"}) {
        fs::copy_file(shippedLanguages / name, fs::path("language") / name);
    }
    start();
    ASSERT_EQ(offered(), (std::vector<Text>{u"Embedded", u"German", u"Russian"}));
    for (int item : {1, 2}) {
        choose(selector(), item);
        int translated = 0;
        for (const auto& [key, builtIn] : app.defaultTexts) translated += text(key) != builtIn;
        // Every text but perhaps a few short words that both languages share.
        EXPECT_GE(translated, 60) << item;
    }
    EXPECT_EQ(text("but9"), u"Сохранить");
}

}  // namespace
