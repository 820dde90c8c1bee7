// rif's input end to end: standard input replaced onto standard output, arguments read in
// the locale's character set, patterns over lines as the file has them, and the note on a
// "$1" in the replacement.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

class RifInputTest : public RifTest {
protected:
    // Runs rif in the folder after the environment assignments, with input on standard
    // input through a pipe (or none: the terminal's, which rif then does not read).
    Result run(const std::string& environment, const std::vector<std::string>& arguments,
               const std::string* input = nullptr) {
        std::string command = environment + " " + quoted(RIF_PROGRAM);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        if (input != nullptr) {
            write(".in", *input);
            command = "cat .in | " + command;
        }
        Result result;
        result.status = shell(command + " >.out 2>.err");
        result.out = read(".out");
        result.err = read(".err");
        fs::remove(at(".out"));
        fs::remove(at(".err"));
        return result;
    }
    // rif as a filter of input, with the test's own temporary folder "tmp".
    Result filter(const std::string& input, const std::vector<std::string>& arguments) {
        return run("TMPDIR=" + quoted(at("tmp")), arguments, &input);
    }
};

TEST_F(RifInputTest, StandardInputIsReplacedOntoStandardOutput) {
    fs::create_directories(at("tmp"));
    struct Case {
        std::vector<std::string> arguments;
        std::string input, output;
        int status;
    } cases[] = {
        // Line ends, the mark and the code page as a file's are written.
        {{"old", "new", "-"}, "old\r\nold x\r\nend", "new\r\nnew x\r\nend", 0},
        {{"old", "new", "-"}, "\xEF\xBB\xBFold\n", "\xEF\xBB\xBFnew\n", 0},
        {{"--codepage", "ISO-8859-1", "old", "n\xC3\xA9w", "-"}, "f\xFCr old\n", "f\xFCr n\xE9w\n", 0},
        {{"-e", "o(l)d", "\\1", "-"}, "old\rold\r", "l\rl\r", 0},
        // Nothing found: the input as it came.
        {{"xyz", "new", "-"}, "old\r\n\xFF\n", "old\r\n\xFF\n", 1},
        // Bytes that would not be written back unchanged: the input as it came, and an error.
        {{"old", "new", "-"}, std::string("a\0old\n", 6), std::string("a\0old\n", 6), 3},
    };
    for (const Case& c : cases) {
        const Result r = filter(c.input, c.arguments);
        EXPECT_EQ(r.status, c.status) << c.input << r.err;
        EXPECT_EQ(r.out, c.output) << c.input;
        EXPECT_EQ(r.err.empty(), c.status != 3) << r.err;
    }
    EXPECT_NE(filter(std::string("a\0old\n", 6), {"old", "new", "-"}).err.find("-: error: "), std::string::npos);

    // The count and the summary only with -v, on standard error.
    const Result verbose = filter("old old\n", {"-v", "old", "new", "-"});
    EXPECT_EQ(verbose.out, "new new\n");
    EXPECT_EQ(verbose.err, "-: 2\n1 files changed, 0 failed, 1 searched\n");
    EXPECT_EQ(filter("old\n", {"-v", "xyz", "new", "-"}).err, "0 files changed, 0 failed, 1 searched\n");

    // An input far larger than a pipe holds, through the temporary folder and out again,
    // leaving nothing there.
    std::string large, replaced;
    for (int i = 0; i < 400000; ++i) {
        large += "line " + std::to_string(i) + " old\n";
        replaced += "line " + std::to_string(i) + " new\n";
    }
    const Result big = filter(large, {"old", "new", "-"});
    EXPECT_EQ(big.status, 0);
    EXPECT_TRUE(big.out == replaced) << big.out.size() << " bytes instead of " << replaced.size();
    EXPECT_TRUE(fs::is_empty(at("tmp")));

    // "-" stands alone, and makes no backup.
    write("a.txt", "old\n");
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"old", "new", "-", "a.txt"}, {"-b", "bak", "old", "new", "-"},
          {"--dry-run", "old", "new", "-"}, {"--json", "old", "new", "-"}}) {
        const Result r = filter("old\n", refused);
        EXPECT_EQ(r.status, 2) << refused[0];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    }
    EXPECT_EQ(read("a.txt"), "old\n");
    EXPECT_FALSE(fs::exists(at("bak")));
}

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

// "$1" and "${1}" are other tools' group references: rif puts them in as they are, with a
// note that its own is "\1".
TEST_F(RifInputTest, DollarGroupReferenceIsKeptWithANote) {
    const struct {
        std::vector<std::string> arguments;
        std::string output;
        bool note;
    } cases[] = {
        {{"-e", "o(l)d", "$1x"}, "$1x\n", true},
        {{"-e", "o(l)d", "${1}x"}, "${1}x\n", true},
        {{"-e", "o(l)d", "\\1x"}, "lx\n", false},
        {{"-e", "o(l)d", "$x"}, "$x\n", false},
        {{"-q", "-e", "o(l)d", "$1x"}, "$1x\n", false},
        {{"old", "$1x"}, "$1x\n", false},
    };
    for (const auto& c : cases) {
        write("a.txt", "old\n");
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("a.txt");
        const Result r = rif(arguments);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(read("a.txt"), c.output);
        const bool noted = r.err.find("rif: note: REPLACEMENT holds $") != std::string::npos &&
                           r.err.find("group reference is \\1") != std::string::npos;
        EXPECT_EQ(noted, c.note) << c.arguments[c.arguments.size() - 1] << ": " << r.err;
    }
}

}  // namespace
