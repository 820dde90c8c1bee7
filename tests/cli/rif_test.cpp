// rif end to end: the built program run over temporary trees, its output, its exit
// statuses, and what it writes (or, with --dry-run, does not).

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

TEST_F(RifTest, ChangesFilesKeepingLineEndsAndReportsEachWithItsCount) {
    write("site/a.htm", "old\r\nold and old\nend");
    write("site/sub/b.txt", "nothing here\n");
    write("site/c.css", "old\n");
    const Result r = rif({"old", "new", "site"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("site/a.htm"), "new\r\nnew and new\nend");
    EXPECT_EQ(read("site/c.css"), "old\n");
    EXPECT_EQ(r.out, "site/a.htm: 3\n");
    EXPECT_EQ(r.err, "1 files changed, 0 failed, 2 searched\n");

    // --crlf writes CR LF after every line, as the window does by default.
    write("site/d.txt", "old\nx");
    EXPECT_EQ(rif({"--crlf", "-q", "old", "new", "site/d.txt"}).status, 0);
    EXPECT_EQ(read("site/d.txt"), "new\r\nx\r\n");
}

// 0: something changed; 1: nothing found; 2: usage errors, patterns that do not compile
// (with PCRE2's message) and refused runs; 3: some file failed.
TEST_F(RifTest, ExitStatusSaysWhatHappened) {
    write("site/a.txt", "old");
    EXPECT_EQ(rif({"xyz", "new", "site"}).status, 1);
    EXPECT_EQ(rif({"--empty-lines", "old", "new", "site"}).status, 2);
    EXPECT_EQ(rif({"old", "new"}).status, 2);
    const Result bad = rif({"-e", "(a", "x", "site"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("missing closing parenthesis"), std::string::npos) << bad.err;
    EXPECT_EQ(rif({"-b", "site", "old", "new", "site"}).status, 2);
    EXPECT_EQ(read("site/a.txt"), "old");
    write("site/b.txt", std::string("old\0x", 5));  // a zero byte: never written
    const Result failed = rif({"old", "new", "site"});
    EXPECT_EQ(failed.status, 3);
    EXPECT_NE(failed.err.find("site/b.txt: error: "), std::string::npos) << failed.err;
    EXPECT_EQ(read("site/a.txt"), "new");
}

TEST_F(RifTest, DryRunTouchesNothingAndDiffShowsTheChange) {
    write("site/a.txt", "one\nold\nthree\n");
    const auto before = fs::last_write_time(at("site/a.txt"));
    const Result r = rif({"--dry-run", "--diff", "old", "new", "site"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("site/a.txt"), "one\nold\nthree\n");
    EXPECT_EQ(fs::last_write_time(at("site/a.txt")), before);
    EXPECT_NE(r.out.find("--- a/site/a.txt\n+++ b/site/a.txt\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-old\n+new\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("1 files would change"), std::string::npos) << r.err;
}

TEST_F(RifTest, JsonLinesParseBack) {
    write("site/a.txt", "old old");
    write("site/b.txt", std::string("old\0", 4));
    write("site/c.txt", "none");
    const Result r = rif({"--json", "old", "new", "site"});
    EXPECT_EQ(r.status, 3);
    std::istringstream lines(r.out);
    std::vector<nlohmann::json> objects;
    for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[0]["type"], "change");
    EXPECT_EQ(objects[0]["data"]["path"], "site/a.txt");
    EXPECT_EQ(objects[0]["data"]["replacements"], 2);
    EXPECT_EQ(objects[1]["type"], "error");
    EXPECT_EQ(objects[1]["data"]["path"], "site/b.txt");
    EXPECT_FALSE(objects[1]["data"]["error"].get<std::string>().empty());
    EXPECT_EQ(objects[2]["type"], "summary");
    EXPECT_EQ(objects[2]["data"]["changed"], 1);
    EXPECT_EQ(objects[2]["data"]["failed"], 1);
    EXPECT_EQ(objects[2]["data"]["searched"], 3);
}

TEST_F(RifTest, BackupsMirrorThePathsBelowEachPath) {
    write("site/deep/er/a.htm", "old");
    fs::create_directories(at("bak"));
    EXPECT_EQ(rif({"-q", "-b", "bak", "-x", "htm", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("bak/deep/er/a.htm"), "old");
    EXPECT_EQ(read("site/deep/er/a.htm"), "new");
}

TEST_F(RifTest, UndoPutsBackTheLastRunOverEveryPathAndSaysWhatItLeftAlone) {
    write("one/a.txt", "old a\n");
    write("one/b.txt", "old b\n");
    write("two/c.txt", "old c\n");
    fs::permissions(at("one/b.txt"), fs::perms(0640));
    fs::create_directories(at("bak"));
    EXPECT_EQ(rif({"-q", "-b", "bak", "old", "new", "one", "two"}).status, 0);
    EXPECT_EQ(read("two/c.txt"), "new c\n");
    write("one/a.txt", "edited\n");

    const Result r = rif({"--undo", "bak"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(read("one/a.txt"), "edited\n");
    EXPECT_EQ(read("one/b.txt"), "old b\n");
    EXPECT_EQ(read("two/c.txt"), "old c\n");
    EXPECT_EQ(fs::status(at("one/b.txt")).permissions(), fs::perms(0640));
    EXPECT_NE(r.err.find("one/a.txt: error: left alone: it was edited after the run"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("one/b.txt: restored\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("2 files restored, 1 left alone"), std::string::npos) << r.err;

    // Only what was put back is spent: a second undo tries the file left alone again, and
    // once it holds what the run wrote, puts it back; then nothing is left to undo.
    const Result again = rif({"--undo", "bak"});
    EXPECT_EQ(again.status, 3);
    EXPECT_NE(again.err.find("0 files restored, 1 left alone"), std::string::npos) << again.err;
    write("one/a.txt", "new a\n");
    EXPECT_EQ(rif({"--undo", "bak"}).status, 0);
    EXPECT_EQ(read("one/a.txt"), "old a\n");
    // Spent: nothing more to undo; no journal at all is the same.
    EXPECT_EQ(rif({"--undo", "bak"}).status, 1);
    fs::create_directories(at("empty"));
    EXPECT_EQ(rif({"--undo", "empty"}).status, 1);

    // A clean undo says 0; a damaged journal is refused with nothing restored.
    EXPECT_EQ(rif({"-q", "-b", "bak", "old", "new", "one"}).status, 0);
    EXPECT_EQ(read("one/b.txt"), "new b\n");
    EXPECT_EQ(rif({"-q", "--undo", "bak"}).status, 0);
    EXPECT_EQ(read("one/b.txt"), "old b\n");
    EXPECT_EQ(rif({"-q", "-b", "bak", "old", "fresh", "one"}).status, 0);
    std::string journal = read("bak/.replace-in-files-journal");
    journal[journal.find('\n') + 3] ^= 1;
    write("bak/.replace-in-files-journal", journal + "spent 0000000000000000\n");
    const Result damaged = rif({"--undo", "bak"});
    EXPECT_EQ(damaged.status, 2);
    EXPECT_NE(damaged.err.find("is damaged (line 2 fails its check); nothing was restored"), std::string::npos)
        << damaged.err;
    EXPECT_EQ(read("one/b.txt"), "fresh b\n");
    EXPECT_EQ(rif({"--undo", "bak", "old", "new", "one"}).status, 2);
}

// Whatever the number of threads, the files end the same, and rif says the same in the
// same order: every line, the failures and the totals.
TEST_F(RifTest, JobsChangeNeitherTheFilesNorWhatRifSays) {
    const auto makeSite = [&] {
        fs::remove_all(at("site"));
        fs::remove_all(at("bak"));
        fs::create_directories(at("bak"));
        for (int i = 0; i < 150; ++i) {
            std::string text;
            for (int line = 0; line < i % 13; ++line) text += (line * i) % 5 == 0 ? "an old line\n" : "a line\r\n";
            if (i % 17 == 0) text += std::string("old\0", 4);  // never written: it fails
            write("site/d" + std::to_string(i % 6) + "/f" + std::to_string(i) + ".txt", text);
        }
        write("site/target.txt", "old\n");
        fs::create_symlink("target.txt", at("site/link.txt"));
        fs::create_hard_link(at("site/d0/f6.txt"), at("site/d0/second.txt"));
    };
    const auto contents = [&] {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
            if (entry.is_regular_file() && !entry.is_symlink()) files[fs::relative(entry.path(), folder_)] = read(fs::relative(entry.path(), folder_));
        }
        files.erase("bak/.replace-in-files-journal");
        return files;
    };
    makeSite();
    const Result one = rif({"-j", "1", "-b", "bak", "old", "new", "site"});
    const std::map<std::string, std::string> afterOne = contents();
    for (const std::string jobs : {"2", "5"}) {
        makeSite();
        const Result several = rif({"--jobs", jobs, "-b", "bak", "old", "new", "site"});
        EXPECT_EQ(several.status, one.status) << jobs;
        EXPECT_EQ(several.out, one.out) << jobs;
        EXPECT_EQ(several.err, one.err) << jobs;
        EXPECT_EQ(contents(), afterOne) << jobs;
    }
    EXPECT_EQ(one.status, 3);
    EXPECT_NE(one.err.find("site/d0/f0.txt: error: "), std::string::npos) << one.err;
    EXPECT_NE(one.out.find("site/link.txt: 1\n"), std::string::npos) << one.out;  // the target is rewritten under its first name
    EXPECT_EQ(rif({"--jobs", "0", "old", "new", "site"}).status, 2);
}

// Two PATHs with a file at the same relative path would share one backup copy: the second
// is left alone instead of overwriting the first one's copy.
TEST_F(RifTest, SecondFileForTheSameBackupCopyIsLeftAlone) {
    write("one/a.txt", "old one\n");
    write("two/a.txt", "old two\n");
    fs::create_directories(at("bak"));
    const Result r = rif({"-q", "-b", "bak", "old", "new", "one", "two"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(read("one/a.txt"), "new one\n");
    EXPECT_EQ(read("two/a.txt"), "old two\n");
    EXPECT_EQ(read("bak/a.txt"), "old one\n");
    EXPECT_NE(r.err.find("two/a.txt: error: "), std::string::npos) << r.err;
}

TEST_F(RifTest, RegexIgnoringCaseWithExtensionsAndNameFilter) {
    write("site/Index.HTML", "Old1 old2");
    write("site/other.html", "old3");
    write("site/x.md", "old4");
    const Result r = rif({"-e", "-i", "--name", "index", "-x", "*", "old(\\d)", "<\\1>", "site"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(read("site/Index.HTML"), "<1> <2>");
    EXPECT_EQ(read("site/other.html"), "old3");
    EXPECT_EQ(rif({"-q", "-x", "*", "old4", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/x.md"), "new");
}

// rif is built on the engine alone: no Qt library is loaded.
TEST_F(RifTest, LinksNoQt) {
    const std::string command = "ldd " + quoted(RIF_PROGRAM) + " > " + quoted(at("ldd.txt"));
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string libraries = read("ldd.txt");
    EXPECT_NE(libraries.find("libpcre2-16"), std::string::npos) << libraries;
    EXPECT_NE(libraries.find("libpcre2-8"), std::string::npos) << libraries;
    EXPECT_EQ(libraries.find("Qt"), std::string::npos) << libraries;
}

}  // namespace
