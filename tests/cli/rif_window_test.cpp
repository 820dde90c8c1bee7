// rif and the window make the same files: the same tree changed once through the window's
// "To find and replace" and once by rif --crlf gives the same bytes.

#include "tests/support/program_window.h"

#include <cstdlib>

namespace {

using namespace testing_support;

class RifAndWindowTest : public ProgramWindowTest {};

TEST_F(RifAndWindowTest, RifWithCrLfWritesWhatTheWindowWrites) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"a.htm", "old\nold and Old\r\nend"},
        {"sub/b.html", "\xEF\xBB\xBF" "caf\xC3\xA9 old\rtwo\n"},
        {"sub/c.txt", std::string("\xFF\xFEo\0l\0d\0\n\0", 10)},
        {"d.hta", "no match\n"},
        {"e.css", "old\n"},
    };
    for (const char* copy : {"window", "rif"})
        for (const auto& [name, bytes] : files) writeFile(std::string(copy) + "/" + name, bytes);

    initialise();
    openWindow(workTab);
    for (const char* key : {"reg1", "spa1", "hek", "rez", "lin"}) setOption(key, false);
    setOption("cas1", false);
    for (const char* key : {"txt", "hta", "htm", "htl"}) setToggle(key, true);
    tk::setGadgetText(app.g.workCombo, Text());
    pathAnswer = folderText("window");
    click(app.g.addFoldersButton);
    tk::setGadgetText(app.g.searchEditor1, u"old");
    tk::setGadgetText(app.g.replaceEditor1, u"new\r\nline");
    click(app.g.runButton1);

    const std::string command = std::string("'") + RIF_PROGRAM + "' -q -i --crlf old 'new\nline' '" + at("rif") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const auto& [name, bytes] : files) {
        EXPECT_EQ(readFile(at("rif/" + name)), readFile(at("window/" + name))) << name;
    }
    EXPECT_NE(readFile(at("rif/a.htm")), files[0].second);
}

}  // namespace
