// rif's input end to end: arguments read in the locale's character set, and patterns over
// lines as the file has them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

class RifInputTest : public RifTest {
protected:
    // Runs rif in the folder after the environment assignments.
    Result run(const std::string& environment, const std::vector<std::string>& arguments) {
        std::string command = environment + " " + quoted(RIF_PROGRAM);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        Result result;
        result.status = shell(command + " >.out 2>.err");
        result.out = read(".out");
        result.err = read(".err");
        fs::remove(at(".out"));
        fs::remove(at(".err"));
        return result;
    }
};

// SEARCH, REPLACEMENT and --name typed in a Latin-1 locale's own bytes; a byte that the
// locale's character set does not have is refused.
TEST_F(RifInputTest, ArgumentsAreReadInTheLocalesCharacterSet) {
    if (::access("/usr/bin/localedef", X_OK) != 0 || !fs::exists("/usr/share/i18n/locales/de_DE"))
        GTEST_SKIP() << "localedef or the de_DE locale source is missing (Debian package locales)";
    ASSERT_EQ(shell("mkdir locales && localedef -i de_DE -f ISO-8859-1 locales/de_DE.ISO-8859-1 >/dev/null 2>&1 && "
                    "localedef -i de_DE -f CP1252 locales/de_DE.CP1252 >/dev/null 2>&1"),
              0);
    const std::string latin1 = "LOCPATH=" + quoted(at("locales")) + " LC_ALL=de_DE.ISO-8859-1 LANG=";
    const std::string cp1252 = "LOCPATH=" + quoted(at("locales")) + " LC_ALL=de_DE.CP1252 LANG=";

    write("latin1.txt", "f\xFCr alle\n");
    write("utf8.txt", "\xEF\xBB\xBF" "f\xC3\xBCr alle\n");
    const Result r = run(latin1, {"--codepage", "ISO-8859-1", "f\xFCr", "\xFC" "ber", "latin1.txt", "utf8.txt"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("latin1.txt"), "\xFC" "ber alle\n");
    EXPECT_EQ(read("utf8.txt"), "\xEF\xBB\xBF\xC3\xBC" "ber alle\n");

    write("names/f\xC3\xBCr.txt", "alle\n");
    write("names/other.txt", "alle\n");
    EXPECT_EQ(run(latin1, {"--name", "f\xFCr", "alle", "ALLE", "names"}).status, 0);
    EXPECT_EQ(read("names/f\xC3\xBCr.txt"), "ALLE\n");
    EXPECT_EQ(read("names/other.txt"), "alle\n");

    const Result invalid = run(cp1252, {"f\x81r", "x", "latin1.txt"});
    EXPECT_EQ(invalid.status, 2);
    EXPECT_NE(invalid.err.find("SEARCH is not valid in your locale's character set (CP1252)"), std::string::npos)
        << invalid.err;
}

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
