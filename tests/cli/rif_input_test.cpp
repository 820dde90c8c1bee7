// rif's input end to end: patterns over lines as the file has them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

using RifInputTest = RifTest;

// '^', '$', "\n" (and a line break in a plain search) over files with LF, CR LF and CR line
// ends: what perl -0777 -pe 's/SEARCH/REPLACEMENT/msg' makes of the LF file, with the
// file's own line end in place of each LF.
TEST_F(RifInputTest, LinesMatchAsTheFileHasThemWhateverItsLineEnds) {
    struct Case {
        std::string search, replacement, input, output;
        bool regex = true;
    } cases[] = {
        {"^b", "X", "a\nb\nc\n", "a\nX\nc\n"},
        {"a$", "X", "xa\na\nba", "xX\nX\nbX"},
        {";\\n\\}", ";}", "x;\n}\ny;\n}\n", "x;}\ny;}\n"},
        {"\\s+$", "", "a  \nb \nc", "a\nb\nc"},
        {"c\\n", "X", "a\nc\n", "a\nX"},
        {"\\r?\\n", " ", "a\nb\n\nc\n", "a b  c "},
        {"x[^\\n]*", "X", "ax1\nbx2\n", "aX\nbX\n"},
        {"\\n\\n", "\n", "a\n\nb\n\n", "a\nb\n"},
        {"b", "1\n2", "a\nb\n", "a\n1\n2\n"},
        {"(\\w+)\\n", "\\1,", "a\nb\nc", "a,b,c"},
        {"[\\r\\n]+", "|", "a\n\nb\n", "a|b|"},
        {"b\nc", "X", "a\nb\nc\n", "a\nX\n", false},
    };
    const struct {
        const char* name;
        std::string end;
    } ends[] = {{"LF", "\n"}, {"CR LF", "\r\n"}, {"CR", "\r"}};
    auto withEnd = [](std::string text, const std::string& end) {
        std::string out;
        for (char c : text) out += c == '\n' ? end : std::string(1, c);
        return out;
    };
    for (const Case& c : cases) {
        if (c.regex) {
            write("perl.txt", c.input);
            ASSERT_EQ(shell("perl -0777 -pe " + quoted("s/" + c.search + "/" + c.replacement + "/msg") +
                            " perl.txt > perl.out"),
                      0);
            EXPECT_EQ(read("perl.out"), c.output) << "perl disagrees on " << c.search;
        }
        for (const auto& end : ends) {
            write("f.txt", withEnd(c.input, end.end));
            std::vector<std::string> arguments = {"-q", c.search, c.replacement, "f.txt"};
            if (c.regex) arguments.insert(arguments.begin(), "-e");
            const Result r = rif(arguments);
            EXPECT_EQ(r.status, 0) << c.search << " on " << end.name << ": " << r.err;
            EXPECT_EQ(read("f.txt"), withEnd(c.output, end.end)) << c.search << " on " << end.name;
        }
    }
}

}  // namespace
