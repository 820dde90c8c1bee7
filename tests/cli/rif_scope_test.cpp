// rif's scope end to end, on real trees: hidden files and what ignore files ignore left out
// (in a real Git repository), globs, repeated extensions, a depth limit, followed links with
// a loop among them, and the reason given when no file was searched.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "rif_fixture.h"
#include "tests/support/scratch_folder.h"

namespace {

using namespace rif_test;

class RifScopeTest : public RifTest {
protected:
    // The user's home and configuration folders of the rif process are empty temporary
    // folders, so that no global excludes file of the machine takes part.
    void SetUp() override {
        RifTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_TRUE(homeFolder_.make("rif-home")) << "cannot make a temporary folder: " << std::strerror(errno);
        home_ = homeFolder_.path().string();
        keep("HOME");
        keep("XDG_CONFIG_HOME");
        keep("GIT_CONFIG_GLOBAL");
        ::setenv("HOME", home_.c_str(), 1);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("GIT_CONFIG_GLOBAL");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value.second) ::setenv(name.c_str(), value.first.c_str(), 1);
            else ::unsetenv(name.c_str());
        }
        homeFolder_.remove();
        RifTest::TearDown();
    }

    bool hasGit() const { return shell("git --version >/dev/null 2>&1") == 0; }

    void writeAt(const fs::path& file, const std::string& bytes) const {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }

    // The files a dry run with the arguments would change, sorted, as rif names them.
    std::vector<std::string> wouldChange(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), "--dry-run");
        const Result r = rif(arguments);
        EXPECT_TRUE(r.status == 0 || r.status == 1) << r.err;
        std::vector<std::string> files;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) files.push_back(line.substr(0, line.rfind(": ")));
        std::sort(files.begin(), files.end());
        return files;
    }

    std::string home_;

private:
    void keep(const char* name) {
        const char* value = std::getenv(name);
        saved_.push_back({name, {value ? value : "", value != nullptr}});
    }
    std::vector<std::pair<std::string, std::pair<std::string, bool>>> saved_;
    testing_support::ScratchFolder homeFolder_;
};

using Files = std::vector<std::string>;

// In a Git repository: hidden files and folders, a root and a nested .gitignore with
// negations, .git/info/exclude, the global excludes file and a .ignore that outranks
// .gitignore; --hidden and --no-ignore each take back their share.
TEST_F(RifScopeTest, HiddenAndIgnoredFilesOfARepository) {
    if (!hasGit()) GTEST_SKIP() << "git is not installed";
    ASSERT_EQ(shell("git -c init.defaultBranch=main init -q ."), 0);
    for (const char* name : {"a.txt", "local.txt", ".hidden.txt", ".cache/c.txt", "build/b.txt", "x.tmp.txt",
                             "keep.tmp.txt", "sub/local.txt", "sub/s.tmp.txt", "sub/t.tmp.txt", "excluded.txt",
                             "global.txt", "notes.txt", "y.tmp.txt"})
        write(name, "foo\n");
    write(".gitignore", "build/\n*.tmp.txt\n!keep.tmp.txt\n");
    write("sub/.gitignore", "local.txt\n!s.tmp.txt\n");
    write(".git/info/exclude", "excluded.txt\n");
    writeAt(fs::path(home_) / ".config/git/ignore", "global.txt\n");
    write(".ignore", "notes.txt\n!y.tmp.txt\n");

    const Files scoped = {"./a.txt", "./keep.tmp.txt", "./local.txt", "./sub/s.tmp.txt", "./y.tmp.txt"};
    EXPECT_EQ(wouldChange({"foo", "bar", "."}), scoped);

    Files hidden = scoped;
    hidden.insert(hidden.end(), {"./.cache/c.txt", "./.hidden.txt"});
    std::sort(hidden.begin(), hidden.end());
    EXPECT_EQ(wouldChange({"--hidden", "foo", "bar", "."}), hidden);

    const Files unignored = {"./a.txt",       "./build/b.txt",     "./excluded.txt",    "./global.txt",
                             "./keep.tmp.txt", "./local.txt",       "./notes.txt",       "./sub/local.txt",
                             "./sub/s.tmp.txt", "./sub/t.tmp.txt", "./x.tmp.txt",       "./y.tmp.txt"};
    EXPECT_EQ(wouldChange({"--no-ignore", "foo", "bar", "."}), unignored);

    // A real run changes those and nothing else.
    const Result r = rif({"foo", "bar", "."});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("a.txt"), "bar\n");
    EXPECT_EQ(read("build/b.txt"), "foo\n");
    EXPECT_EQ(read(".hidden.txt"), "foo\n");
    EXPECT_EQ(read("global.txt"), "foo\n");
}

// core.excludesFile of the global git configuration names the global excludes file; without
// it, $XDG_CONFIG_HOME/git/ignore is read.
TEST_F(RifScopeTest, GlobalExcludesFile) {
    if (!hasGit()) GTEST_SKIP() << "git is not installed";
    write("a.txt", "foo\n");
    write("configured.txt", "foo\n");
    write("default.txt", "foo\n");
    writeAt(fs::path(home_) / ".gitconfig", "[core]\n\texcludesFile = ~/my-excludes\n");
    writeAt(fs::path(home_) / "my-excludes", "configured.txt\n");
    writeAt(fs::path(home_) / "xdg/git/ignore", "default.txt\n");
    ::setenv("XDG_CONFIG_HOME", (home_ + "/xdg").c_str(), 1);
    EXPECT_EQ(wouldChange({"foo", "bar", "."}), (Files{"./a.txt", "./default.txt"}));

    fs::remove(fs::path(home_) / ".gitconfig");
    EXPECT_EQ(wouldChange({"foo", "bar", "."}), (Files{"./a.txt", "./configured.txt"}));
}

// Walking a folder inside a repository, the ignore files of the folders above it up to the
// repository's top apply, and none above that top.
TEST_F(RifScopeTest, IgnoreFilesAboveThePathUpToTheRepositoryTop) {
    if (!hasGit()) GTEST_SKIP() << "git is not installed";
    write("repo/web/a.txt", "foo\n");
    write("repo/web/b.txt", "foo\n");
    write("repo/web/old.bak.txt", "foo\n");
    write("repo/web/gen/g.txt", "foo\n");
    write("repo/.gitignore", "*.bak.txt\nweb/gen/\n");
    write(".gitignore", "b.txt\n");
    ASSERT_EQ(shell("cd repo && git -c init.defaultBranch=main init -q ."), 0);
    EXPECT_EQ(wouldChange({"foo", "bar", "repo/web"}), (Files{"repo/web/a.txt", "repo/web/b.txt"}));
}

// A file or folder named as a PATH is taken even when it is hidden or ignored.
TEST_F(RifScopeTest, NamedPathIsTakenWhenHiddenOrIgnored) {
    write(".hidden.txt", "foo\n");
    write(".cache/c.txt", "foo\n");
    write("build/b.txt", "foo\n");
    write("x.tmp.txt", "foo\n");
    write(".gitignore", "build/\n*.tmp.txt\n");
    EXPECT_EQ(wouldChange({"foo", "bar", "."}), Files{});
    EXPECT_EQ(wouldChange({"foo", "bar", ".hidden.txt", ".cache", "build", "x.tmp.txt"}),
              (Files{".cache/c.txt", ".hidden.txt", "build/b.txt", "x.tmp.txt"}));
}

// Globs choose files by their path below the PATH ("!" leaves out, folders too); a glob that
// takes files sets the default extensions aside, an explicit -x does not; -x is repeatable
// and takes "c", ".c" and "*.c" alike.
TEST_F(RifScopeTest, GlobsAndExtensions) {
    for (const char* name : {"src/a.c", "src/b.h", "src/c.txt", "vendor/v.c", "vendor/w.txt", "d.html", "e.txt"})
        write(name, "foo\n");
    struct Case {
        std::vector<std::string> options;
        Files expected;
    };
    const Case cases[] = {
        {{"-g", "*.c", "-g", "!vendor/**"}, {"./src/a.c"}},
        {{"-g", "*.c"}, {"./src/a.c", "./vendor/v.c"}},
        {{"-g", "!vendor"}, {"./d.html", "./e.txt", "./src/c.txt"}},
        {{"-g", "src/*"}, {"./src/a.c", "./src/b.h", "./src/c.txt"}},
        {{"-g", "src/*", "-x", "h"}, {"./src/b.h"}},
        {{"-g", "*", "-g", "!*.txt", "-g", "e.txt"}, {"./d.html", "./e.txt", "./src/a.c", "./src/b.h", "./vendor/v.c"}},
        {{"-x", "c", "-x", "h"}, {"./src/a.c", "./src/b.h", "./vendor/v.c"}},
        {{"-x", "*.c"}, {"./src/a.c", "./vendor/v.c"}},
        {{"-x", ".h,html"}, {"./d.html", "./src/b.h"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"foo", "bar", "."});
        EXPECT_EQ(wouldChange(arguments), c.expected) << testing::PrintToString(c.options);
    }
}

// --max-depth: the files of a PATH folder itself are at depth 1.
TEST_F(RifScopeTest, MaxDepth) {
    write("a.txt", "foo\n");
    write("d1/b.txt", "foo\n");
    write("d1/d2/c.txt", "foo\n");
    EXPECT_EQ(wouldChange({"--max-depth", "1", "foo", "bar", "."}), Files{"./a.txt"});
    EXPECT_EQ(wouldChange({"--max-depth", "2", "foo", "bar", "."}), (Files{"./a.txt", "./d1/b.txt"}));
    EXPECT_EQ(wouldChange({"--max-depth", "3", "foo", "bar", "."}), (Files{"./a.txt", "./d1/b.txt", "./d1/d2/c.txt"}));
    EXPECT_EQ(wouldChange({"--max-depth", "0", "foo", "bar", "d1", "a.txt"}), Files{"a.txt"});
}

// -L follows links to folders, out of the PATH too, and ends: a link to a folder the walk is
// inside is not followed, so each folder is walked once. The backup folder stays out even
// through a link.
TEST_F(RifScopeTest, FollowedLinksWithALoop) {
    write("site/a.txt", "foo\n");
    write("site/sub/b.txt", "foo\n");
    write("other/c.txt", "foo\n");
    write("bak/old.txt", "foo\n");
    fs::create_directory_symlink("..", at("site/sub/up"));
    fs::create_directory_symlink(".", at("site/sub/self"));
    fs::create_directory_symlink("../other", at("site/out"));
    fs::create_directory_symlink("../bak", at("site/tobak"));

    EXPECT_EQ(wouldChange({"foo", "bar", "site"}), (Files{"site/a.txt", "site/sub/b.txt"}));
    EXPECT_EQ(wouldChange({"-L", "-b", "bak", "foo", "bar", "site"}),
              (Files{"site/a.txt", "site/out/c.txt", "site/sub/b.txt"}));

    const Result r = rif({"-L", "-b", "bak", "foo", "bar", "site"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("other/c.txt"), "bar\n");
    EXPECT_EQ(read("site/sub/b.txt"), "bar\n");
    EXPECT_EQ(read("bak/old.txt"), "foo\n");
}

// When no file is searched, rif says which filters left the files out, exits with 1 and
// changes nothing.
TEST_F(RifScopeTest, NoFilesSearchedNamesTheFilters) {
    write("t/x.c", "foo\n");
    write("t/y.md", "foo\n");
    write("t/.h.txt", "foo\n");
    write("t/ig.txt", "foo\n");
    write("t/deep/z.txt", "foo\n");
    write("t/.gitignore", "ig.txt\ndeep/\n");
    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    const Case cases[] = {
        {{},
         "2 files left out by the extension list txt,hta,htm,html (use -x to choose others, -x '*' for every file), "
         "2 hidden (--hidden), 2 ignored (--no-ignore)"},
        {{"-g", "*.rs"}, "2 left out by the globs *.rs (-g), 2 hidden (--hidden), 2 ignored (--no-ignore)"},
        {{"--max-depth", "0"}, "1 folder below --max-depth 0"},
        {{"--no-ignore", "--name", "nothing"},
         "2 files left out by the extension list txt,hta,htm,html (use -x to choose others, -x '*' for every file), "
         "2 left out by --name nothing, 2 hidden (--hidden)"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {"foo", "bar", "t"});
        const Result r = rif(arguments);
        EXPECT_EQ(r.status, 1) << testing::PrintToString(c.options);
        EXPECT_EQ(r.err, "rif: no files searched: " + c.message + "\n") << testing::PrintToString(c.options);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(read("t/x.c"), "foo\n");
    EXPECT_EQ(read("t/ig.txt"), "foo\n");
}

}  // namespace
