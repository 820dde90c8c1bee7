// The folder walk on real temporary trees: version-control metadata left out, paths that
// lie inside it recognised, and files deeper than a whole path can name still listed.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_walk.h"
#include "tests/support/deep_tree.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

class FileWalkTest : public testing_support::TemporaryFolderTest {
protected:

    // Every file below the folder, as the walk lists them.
    std::vector<Text> walkEverything(const std::string& folder) const {
        WalkRules rules;
        rules.extensions = {u"*"};
        std::vector<Text> files;
        walkFolder(textFromUtf8(root_ + folder), Text(), rules, files);
        return files;
    }
};

// The folders of Git, Mercurial, Subversion, Bazaar, Darcs and CVS are never entered, a
// file named .git (a worktree's or a submodule's) is never taken, nor is a link whose
// target lies in such a folder; names that only resemble them are ordinary.
TEST_F(FileWalkTest, VersionControlMetadataIsNeverTaken) {
    write("site/a.txt");
    for (const char* name : {"site/.git/config", "site/.git/logs/HEAD", "site/.hg/store/data.txt",
                             "site/.svn/entries", "site/.bzr/branch.conf", "site/_darcs/prefs.txt",
                             "site/sub/CVS/Root", "site/sub/CVS/Entries"})
        write(name);
    write("site/wt/.git", "gitdir: ../.git/worktrees/wt\n");
    write("site/wt/b.txt");
    write("site/.gitignore");
    write("site/.github/workflow.yml");
    write("site/my.git/c.txt");
    write("site/sub/CVS.txt");
    fs::create_symlink(".git/config", root_ + "site/config.txt");
    fs::create_symlink("a.txt", root_ + "site/inside.txt");

    EXPECT_EQ(walkEverything("site"), (std::vector<Text>{u".github/workflow.yml", u".gitignore", u"a.txt",
                                                         u"inside.txt", u"my.git/c.txt", u"sub/CVS.txt",
                                                         u"wt/b.txt"}));
}

// Which version-control folder a path lies in, by the names of its folders as written and
// once its links are resolved; empty for every other path.
TEST_F(FileWalkTest, PathsInsideVersionControlMetadataAreRecognised) {
    write("repo/a.txt");
    write("repo/.git/config");
    write("repo/.svn/entries");
    write("repo/wt/.git", "gitdir: ../.git/worktrees/wt\n");
    write("repo/CVS.txt");
    write("bare.git/config");
    fs::create_symlink("repo/.git/config", root_ + "config-link");
    fs::create_symlink("repo/.git", root_ + "git-link");
    fs::create_symlink("bare.git", root_ + "repo/sub-link");
    fs::create_directories(root_ + "other");
    fs::create_symlink("../bare.git", root_ + "other/.git");

    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.git/config"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.git"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.git/"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/./.git/."), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.svn/entries"), ".svn");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/wt/.git"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "config-link"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "git-link/"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "other/.git/config"), ".git");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.hg/missing.txt"), ".hg");

    EXPECT_EQ(versionControlMetadataOf(root_ + "repo"), "");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/a.txt"), "");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/.git/.."), "");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/CVS.txt"), "");
    EXPECT_EQ(versionControlMetadataOf(root_ + "bare.git/config"), "");
    EXPECT_EQ(versionControlMetadataOf(root_ + "repo/sub-link/config"), "");

    // A relative path is taken from the current folder.
    const fs::path previous = fs::current_path();
    fs::current_path(root_ + "repo");
    const std::string inside = versionControlMetadataOf(".git/config");
    const std::string outside = versionControlMetadataOf("a.txt");
    const std::string parent = versionControlMetadataOf(".git/../a.txt");
    fs::current_path(previous);
    EXPECT_EQ(inside, ".git");
    EXPECT_EQ(outside, "");
    EXPECT_EQ(parent, "");
}

// Counts the descriptors the process holds each time the walk is about to go into a folder.
class DescriptorCount : public WalkObserver {
public:
    void taken(size_t, size_t) override {
        size_t count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
        most = std::max(most, count);
    }
    size_t most = 0;
};

// Files whose whole path is longer than PATH_MAX (4,096 bytes) are listed where they lie, in
// the walk's order, like any other; a tree deeper than the descriptors a walk keeps open is
// walked whole, with no more of them open than for a shallow one.
TEST_F(FileWalkTest, FilesBeyondThePathLimitAreListed) {
    write("site/a.txt");
    write("site/z.txt");
    const std::string name(200, 'd');
    const std::string deep = deep_tree::make(root_ + "site", name, 22, "deep.txt", "foo\n");
    ASSERT_FALSE(deep.empty());
    const deep_tree::Removal removal(root_ + "site", name);
    ASSERT_GT((root_ + "site/" + deep).size(), 4096u);
    // Below the tenth folder: after a chain of 150 more, a folder of its own.
    std::string tenth;
    for (int level = 0; level < 10; ++level) tenth += name + "/";
    const std::string deeper = deep_tree::make(root_ + "site/" + tenth, "c", 150, "deeper.txt", "foo\n");
    ASSERT_FALSE(deeper.empty());
    write("site/" + tenth + "e/late.txt");

    WalkRules rules;
    rules.extensions = {u"txt"};
    std::vector<Text> files;
    const size_t before = [] {
        DescriptorCount count;
        count.taken(0, 0);
        return count.most;
    }();
    DescriptorCount count;
    walkFolder(textFromUtf8(root_ + "site"), Text(), rules, files, &count);
    EXPECT_EQ(files, (std::vector<Text>{u"a.txt", textFromUtf8(tenth + deeper), textFromUtf8(deep),
                                        textFromUtf8(tenth + "e/late.txt"), u"z.txt"}));
    EXPECT_LE(count.most, before + 70);
}

}  // namespace

// Names of every kind of byte sequence in one folder: each is listed as it decodes alone
// (bytes that are not UTF-8 kept as themselves), ordered by the lower-cased name and, for
// names that differ only in case, by their bytes; the extension is read lower-cased.
TEST_F(FileWalkTest, NamesOfEveryKindInOneFolderKeepTheirOwnTextAndOrder) {
    const std::vector<std::string> taken = {
        "a.txt",
        "Ab.txt",                   // before "aB.txt": the same lower-cased, "A" is the lower byte
        "aB.txt",
        "abcda.txt",                // the first four units equal, the fifth decides
        "abcdZ.txt",
        "b\xE9.txt",                // a Latin-1 byte: not UTF-8
        "c\xC3.txt",                // a sequence cut short by the dot
        "d\xC3\xA4.txt",            // two bytes, one unit
        "e\xF0\x9F\x98\x80.txt",    // four bytes, two units
        "F.TXT",
        "g\xC3\xA4\xE9.txt",        // UTF-8, then a byte that is not
        "h\xC3\xA4/z.txt",          // below a folder whose name is not ASCII
        "h\xC3\xA4/\xE9\xE9.txt",   // U+DCE9 comes after "z"
        "i.txt",
    };
    for (const std::string& name : taken) write("mixed/" + name);
    write("mixed/j\xC3\xA4.html");  // an extension not taken
    WalkRules rules;
    rules.extensions = {u"txt"};
    std::vector<Text> files;
    walkFolder(textFromUtf8(root_ + "mixed"), Text(), rules, files);
    std::vector<Text> expected;
    for (const std::string& name : taken) expected.push_back(textFromUtf8(name));
    EXPECT_EQ(files, expected);
    for (const Text& file : files) EXPECT_TRUE(fs::exists(root_ + "mixed/" + textToUtf8(file))) << textToUtf8(file);
}
