// rif's walk end to end: a real Git repository and other version-control metadata left as
// they were, a PATH inside such metadata refused, and a file deeper than a whole path can
// name reported instead of passed over.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "rif_fixture.h"
#include "tests/support/deep_tree.h"

namespace {

using namespace rif_test;

class RifWalkTest : public RifTest {
protected:
    // The bytes of every file below the folder, by path.
    std::map<std::string, std::string> filesBelow(const std::string& name) const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(at(name)))
            if (entry.is_regular_file()) files[entry.path().string()] = slurp(entry.path().string());
        return files;
    }
};

// A run over a whole checkout changes the work files and nothing of Git's own; Git still
// works afterwards. Other systems' folders and a worktree's .git file are left alone too.
TEST_F(RifWalkTest, RunOverAGitCheckoutLeavesItsMetadataAlone) {
    write("a.txt", "foo\n");
    write("sub/b.html", "a foo b\n");
    ASSERT_EQ(shell("git -c init.defaultBranch=main init -q . && git add a.txt sub && "
                    "git -c user.name=foo -c user.email=foo@example.org commit -q -m 'foo first' >/dev/null"),
              0);
    write("hg/.hg/hgrc", "[paths]\ndefault = foo\n");
    write("svn/.svn/entries", "foo\n");
    write("cvs/CVS/Root", ":pserver:foo@example.org:/cvs\n");
    write("wt/.git", "gitdir: /srv/foo/.git/worktrees/wt\n");
    write("wt/c.txt", "foo\n");
    const std::map<std::string, std::string> before = filesBelow(".git");
    ASSERT_GT(before.size(), 10u);

    const Result r = rif({"-x", "*", "foo", "bar", "."});
    const std::map<std::string, std::string> after = filesBelow(".git");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("3 files changed, 0 failed"), std::string::npos) << r.err;
    EXPECT_TRUE(before == after) << r.out;
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("sub/b.html"), "a bar b\n");
    EXPECT_EQ(read("wt/c.txt"), "bar\n");
    EXPECT_EQ(read("hg/.hg/hgrc"), "[paths]\ndefault = foo\n");
    EXPECT_EQ(read("svn/.svn/entries"), "foo\n");
    EXPECT_EQ(read("cvs/CVS/Root"), ":pserver:foo@example.org:/cvs\n");
    EXPECT_EQ(read("wt/.git"), "gitdir: /srv/foo/.git/worktrees/wt\n");

    ASSERT_EQ(shell("git status --porcelain -uno > status.out 2>&1"), 0) << read("status.out");
    EXPECT_EQ(read("status.out"), " M a.txt\n M sub/b.html\n");
    ASSERT_EQ(shell("git log --format=%s > log.out 2>&1"), 0) << read("log.out");
    EXPECT_EQ(read("log.out"), "foo first\n");
}

// Named on its own, a file or folder inside version-control metadata is refused before any
// file is touched; a path that only passes through such a folder's parent is not.
TEST_F(RifWalkTest, PathInsideVersionControlMetadataIsRefused) {
    write("a.txt", "foo\n");
    write(".git/config", "[core]\n\tfoo = 1\n");
    write("wt/.git", "gitdir: /srv/foo\n");
    fs::create_symlink(".git/config", at("config-link"));

    for (const std::string path : {".git/config", ".git/", "config-link", "wt/.git"}) {
        const Result r = rif({"-x", "*", "foo", "bar", "a.txt", path});
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_EQ(r.err, "rif: " + path + " lies inside version-control metadata (.git); rif never changes it\n")
            << path;
        EXPECT_EQ(r.out, "") << path;
    }
    EXPECT_EQ(read("a.txt"), "foo\n");
    EXPECT_EQ(read(".git/config"), "[core]\n\tfoo = 1\n");
    EXPECT_EQ(read("wt/.git"), "gitdir: /srv/foo\n");

    const Result parent = rif({"-x", "*", "foo", "bar", ".git/.."});
    EXPECT_EQ(parent.status, 0) << parent.err;
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read(".git/config"), "[core]\n\tfoo = 1\n");
}

// A file whose path is longer than PATH_MAX cannot be opened by that path: rif names it in
// an error line and exits with 3, and still changes the files it can reach.
TEST_F(RifWalkTest, FileBeyondThePathLimitIsReported) {
    write("site/a.txt", "foo\n");
    const std::string name(200, 'd');
    const std::string deep = deep_tree::make(at("site"), name, 22, "deep.txt", "foo\n");
    ASSERT_FALSE(deep.empty());
    const deep_tree::Removal removal(at("site"), name);
    ASSERT_GT(("site/" + deep).size(), 4096u);

    const Result r = rif({"foo", "bar", "site"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "site/a.txt: 1\n");
    EXPECT_EQ(r.err, "site/" + deep +
                         ": error: its path is longer than the system can open\n1 files changed, 1 failed, 2 searched\n");
    EXPECT_EQ(read("site/a.txt"), "bar\n");
}

}  // namespace
