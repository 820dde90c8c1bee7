// The built-in English text table: its keys, their order and their texts.

#include "app/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

class TextTableTest : public ::testing::Test {
protected:
    void SetUp() override { buildTextTable(table_); }

    std::vector<std::string> keys() const {
        std::vector<std::string> result;
        for (const auto& entry : table_) result.push_back(entry.first);
        return result;
    }

    TextMap table_;
};

TEST_F(TextTableTest, HoldsAllKeysInTableOrder) {
    const std::vector<std::string> expected = {
        "name",  "jan",   "feb",   "mar",   "apr",   "may",   "jun",  "jul",  "aug",  "sep",
        "oct",   "nov",   "dec",   "tabW",  "tabP",  "tabS",  "tip",  "esc",  "ton",  "rez",
        "hek",   "but7",  "but9",  "but0",  "txt5",  "txt6",  "txt7", "txt8", "txt9", "pop1",
        "pop2",  "pop3",  "pop4",  "pop5",  "pop6",  "pop7",  "tit1", "tit2", "tit3", "tit4",
        "tit5",  "tit6",  "tit7",  "tit8",  "tit9",  "tit10", "tit11", "tit12", "tit13", "tit14",
        "tit15", "tit16", "tit17", "tit18", "tit19", "tit20", "tit21", "err",  "err0", "err1",
        "err2",  "err3",  "err4",  "err5",  "txt10", "err6",  "err7",  "lin",   "txt11", "tit22", "tit23", "txt12", "txt13", "txt14",
        "und1",  "tit25", "und2",  "und3",  "und4",  "err8",
        "pre1",  "tit26", "pre2",  "pre3",  "pre4",  "err9",  "und5",  "err10", "stp1",  "stp2",  "stp3",
        "rsn1", "rsn2", "rsn3", "rsn4", "rsn5", "rsn6", "rsn7", "rsn8", "rsn9", "rsn10", "rsn11", "rsn12", "rsn13", "rsn14", "rsn15", "rsn16", "rsn17", "prg1", "prg2"};
    EXPECT_EQ(table_.size(), 110u);
    EXPECT_EQ(keys(), expected);
}

TEST_F(TextTableTest, KeysCarryTheirExactEnglishTexts) {
    const std::vector<std::pair<std::string, Text>> samples = {
        {"jan", u"January"},
        {"dec", u"December"},
        {"tabW", u"Work"},
        {"esc", u"Exit on ESC"},
        {"rez", u"To do backup copies"},
        {"but7", u"To find and replace"},
        {"but9", u"Save"},
        {"but0", u"Delete"},
        {"txt6", u"Than to replace"},
        {"txt9", u"Concurrences it is Not found"},
        {"pop1", u"To clear And Insert"},
        {"pop7", u"Insert from buffer"},
        {"tit2", u"To allow / to forbid closing of the program on key ESC"},
        {"tit3", u"To allow to cheep to the program"},
        {"tit7", u"To consider or not the register of symbols"},
        {"tit14", u"To search in files with expansion"},
        {"tit19", u"On a clique to copy in the same editor of range"},
        {"err", u"Mistake"},
        {"err0", u"It was not possible to create the Folder."},
        {"err3", u"Below there should be a description of a mistake in English."},
        {"err5", u"For removal of an empty line it is necessary to use regular expressions"},
        {"txt10", u"Not changed because of an error:"},
        {"err6", u"The encoding of this file is not supported (UTF-16 BE or UTF-32)."},
        {"err7", u"The backup folder must not hold the files to be changed."},
        {"lin", u"Keep line ends"},
        {"txt11", u"Code page of files without a mark"},
    };
    for (const auto& [key, text] : samples) EXPECT_EQ(table_.get(key), text) << key;
}

TEST_F(TextTableTest, NameIsEmptyAndEveryOtherTextIsNot) {
    EXPECT_TRUE(table_.contains("name"));
    EXPECT_EQ(table_.get("name"), u"");
    for (const auto& [key, text] : table_) {
        if (key != "name") {
            EXPECT_FALSE(text.empty()) << key;
        }
    }
}

TEST_F(TextTableTest, CopyKeysRepeatTheirSourceAsSeparateEntries) {
    const std::vector<std::pair<std::string, std::string>> copies = {
        {"tit9", "tit6"},   {"tit10", "tit7"},  {"tit11", "tit8"},  {"tit15", "tit14"},
        {"tit16", "tit14"}, {"tit17", "tit14"}, {"tit20", "tit18"}, {"tit21", "tit19"}};
    for (const auto& [copy, source] : copies) {
        EXPECT_EQ(table_.get(copy), table_.get(source)) << copy;
        EXPECT_FALSE(table_.get(copy).empty()) << copy;
    }
    table_["tit9"] = u"changed";
    EXPECT_EQ(table_.get("tit6"), u"To use regular expressions");
    EXPECT_EQ(table_.get("tit9"), u"changed");
}

TEST_F(TextTableTest, CopyTakesTheTextItsSourceHoldsWhenBuilt) {
    TextMap prefilled;
    prefilled["tit14"] = u"earlier text";
    buildTextTable(prefilled);
    EXPECT_EQ(prefilled.get("tit15"), u"To search in files with expansion");
    EXPECT_EQ(prefilled.size(), 110u);
}

TEST_F(TextTableTest, KeyOutsideTheTableIsAbsent) {
    EXPECT_FALSE(table_.contains("tit24"));
    EXPECT_FALSE(table_.contains("TIT9"));
    EXPECT_EQ(table_.get("unknown"), u"");
}

}  // namespace
