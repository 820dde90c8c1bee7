// Git's ignore patterns as gitignore(5) describes them, one row per documented rule, and the
// walk leaving out what they ignore (a file below an ignored folder cannot come back).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_walk.h"
#include "engine/ignore_rules.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

struct Row {
    const char* rule;      // what gitignore(5) says
    const char* patterns;  // the ignore file's text
    const char* path;      // relative to the ignore file's folder
    bool isFolder;
    PatternMatch expected;
};

constexpr PatternMatch none = PatternMatch::none;
constexpr PatternMatch plain = PatternMatch::plain;
constexpr PatternMatch negated = PatternMatch::negated;

const Row rows[] = {
    {"a blank line matches no file", "\n\n", "a", false, none},
    {"a line of spaces matches no file", "   \n", "   ", false, none},
    {"a line starting with # is a comment", "#foo\n", "#foo", false, none},
    {"\\# starts a pattern with a hash", "\\#foo\n", "#foo", false, plain},
    {"\\! starts a pattern with an exclamation mark", "\\!important\n", "!important", false, plain},
    {"trailing spaces are ignored", "foo   \n", "foo", false, plain},
    {"trailing spaces are not part of the pattern", "foo   \n", "foo   ", false, none},
    {"a trailing space escaped with a backslash stays", "foo\\ \n", "foo ", false, plain},
    {"an escaped trailing space is needed in the name", "foo\\ \n", "foo", false, none},
    {"lines may end with CR LF", "foo\r\nbar\r\n", "bar", false, plain},
    {"! negates: the path is kept", "*.txt\n!keep.txt\n", "keep.txt", false, negated},
    {"the last matching pattern decides", "!keep.txt\n*.txt\n", "keep.txt", false, plain},
    {"a negation leaves other matches ignored", "*.txt\n!keep.txt\n", "other.txt", false, plain},
    {"a pattern without a slash matches at any depth", "frotz\n", "a/b/frotz", false, plain},
    {"a pattern without a slash matches a folder too", "frotz\n", "a/frotz", true, plain},
    {"a leading slash anchors to the file's folder", "/foo\n", "foo", false, plain},
    {"an anchored pattern does not match deeper", "/foo\n", "a/foo", false, none},
    {"a slash in the middle anchors too", "doc/frotz\n", "doc/frotz", false, plain},
    {"a middle slash does not match deeper", "doc/frotz\n", "a/doc/frotz", false, none},
    {"a trailing slash matches a folder", "frotz/\n", "a/frotz", true, plain},
    {"a trailing slash does not match a file", "frotz/\n", "a/frotz", false, none},
    {"a trailing slash alone does not anchor", "doc/\n", "a/b/doc", true, plain},
    {"doc/frotz/ matches the folder doc/frotz", "doc/frotz/\n", "doc/frotz", true, plain},
    {"doc/frotz/ does not match a/doc/frotz", "doc/frotz/\n", "a/doc/frotz", true, none},
    {"* matches within a name", "*.html\n", "a/index.html", false, plain},
    {"* matches only the name's end it is given", "*.html\n", "a/index.htm", false, none},
    {"foo/* matches a file in foo", "foo/*\n", "foo/test.json", false, plain},
    {"foo/* matches a folder in foo", "foo/*\n", "foo/bar", true, plain},
    {"* does not match a slash", "foo/*.c\n", "foo/bar/hello.c", false, none},
    {"? matches one character", "a?c\n", "abc", false, plain},
    {"? needs a character", "a?c\n", "ac", false, none},
    {"? does not match a slash", "x/a?c\n", "x/a/c", false, none},
    {"[a-c] matches a range", "[a-c]at\n", "bat", false, plain},
    {"[a-c] matches nothing outside it", "[a-c]at\n", "dat", false, none},
    {"[!a-c] matches outside the range", "[!a-c]at\n", "dat", false, plain},
    {"[!a-c] matches nothing inside it", "[!a-c]at\n", "bat", false, none},
    {"[abc] matches one of a set", "file[12x].txt\n", "filex.txt", false, plain},
    {"a bracket never matches a slash", "a[/]b\n", "a/b", false, none},
    {"an unclosed bracket matches nothing", "a[b\n", "a[b", false, none},
    {"**/ at the start matches at the top", "**/foo\n", "foo", false, plain},
    {"**/ at the start matches at any depth", "**/foo\n", "a/b/foo", false, plain},
    {"**/foo/bar matches bar under any foo", "**/foo/bar\n", "x/y/foo/bar", false, plain},
    {"/** at the end matches everything inside", "abc/**\n", "abc/x/y", false, plain},
    {"/** at the end does not match the folder itself", "abc/**\n", "abc", true, none},
    {"/**/ matches no folder in between", "a/**/b\n", "a/b", false, plain},
    {"/**/ matches one folder in between", "a/**/b\n", "a/x/b", false, plain},
    {"/**/ matches several folders in between", "a/**/b\n", "a/x/y/b", false, plain},
    {"/**/ matches whole names only", "a/**/b\n", "a/xb", false, none},
    {"other ** are plain stars", "a**b\n", "axyb", false, plain},
    {"other ** do not match a slash", "x/a**b\n", "x/a/b", false, none},
    {"letter case counts", "Foo\n", "foo", false, none},
    {"a backslash escapes a special character", "\\*.txt\n", "*.txt", false, plain},
    {"an escaped star is no wildcard", "\\*.txt\n", "a.txt", false, none},
};

TEST(IgnorePatternsTest, GitDocumentedRules) {
    for (const Row& row : rows) {
        const IgnorePatterns patterns(row.patterns);
        const std::string path = row.path;
        const size_t slash = path.find_last_of('/');
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        EXPECT_EQ(patterns.match(path, name, row.isFolder), row.expected) << row.rule;
    }
}

class IgnoredWalkTest : public testing_support::TemporaryFolderTest {
protected:

    // The files the walk takes with the ignore files read, sorted.
    std::vector<std::string> walkIgnoring() const {
        WalkRules rules;
        rules.extensions = {u"*"};
        rules.useIgnoreFiles = true;
        std::vector<Text> files;
        walkFolder(textFromUtf8(root_), Text(), rules, files);
        std::vector<std::string> names;
        for (const Text& file : files) names.push_back(textToUtf8(file));
        std::sort(names.begin(), names.end());
        return names;
    }
};

// "It is not possible to re-include a file if a parent directory of that file is excluded":
// build/ ignored keeps build/keep.txt out whatever follows; build/* ignores the files only,
// so that !build/keep.txt brings that one back.
TEST_F(IgnoredWalkTest, FileBelowAnIgnoredFolderCannotBeIncludedAgain) {
    write("build/keep.txt");
    write("build/other.txt");
    write("a.txt");
    write(".gitignore", "build/\n!build/keep.txt\n");
    EXPECT_EQ(walkIgnoring(), (std::vector<std::string>{".gitignore", "a.txt"}));

    write(".gitignore", "build/*\n!build/keep.txt\n");
    EXPECT_EQ(walkIgnoring(), (std::vector<std::string>{".gitignore", "a.txt", "build/keep.txt"}));
}

// gitignore(5)'s example: everything left out except the folder foo/bar.
TEST_F(IgnoredWalkTest, EverythingButOneFolder) {
    write(".gitignore", "/*\n!/foo\n/foo/*\n!/foo/bar\n");
    write("top.txt");
    write("foo/a.txt");
    write("foo/baz/b.txt");
    write("foo/bar/c.txt");
    write("foo/bar/deeper/d.txt");
    EXPECT_EQ(walkIgnoring(), (std::vector<std::string>{"foo/bar/c.txt", "foo/bar/deeper/d.txt"}));
}

}  // namespace
