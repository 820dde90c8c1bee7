// Every file rif leaves as it was says why, on its error line and in --json; a backup
// folder is made when missing and refused at once when a file stands in its place.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "rif_fixture.h"

namespace {

using namespace rif_test;
using RifReasonsTest = RifTest;

TEST_F(RifReasonsTest, EveryRefusalSaysWhyOnItsLineAndInJson) {
    write("site/read-only.txt", "old\n");
    fs::permissions(at("site/read-only.txt"), fs::perms(0444));
    write("site/zero.txt", std::string("old\0rest\n", 9));
    write("site/locked.txt", "old\n");
    write("site/linked.txt", "old\n");
    ASSERT_EQ(::link(at("site/linked.txt").c_str(), at("other-name.txt").c_str()), 0);
    write("site/runaway.txt", std::string(40, 'a') + "b\n");
    // Another program holds its lock on the file for as long as the test runs.
    const int held = ::open(at("site/locked.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"site/linked.txt", "it has other names (hard links), which would keep the old text"},
        {"site/locked.txt", "another program has it locked"},
        {"site/read-only.txt", "it is read-only, or its folder may not be written"},
        {"site/runaway.txt", "the regular expression took too long on it (match limit)"},
        {"site/zero.txt", "writing it back would change bytes that were not replaced"},
    };
    const Result lines = rif({"-e", "old|(a+)+$", "new", "site"});
    EXPECT_EQ(lines.status, 3);
    const Result json = rif({"--json", "-e", "old|(a+)+$", "new", "site"});
    EXPECT_EQ(json.status, 3);
    ::close(held);
    for (const auto& [path, reason] : expected) {
        EXPECT_NE(lines.err.find(path + ": error: " + reason), std::string::npos) << path << "\n" << lines.err;
        EXPECT_NE(json.out.find(reason), std::string::npos) << path << "\n" << json.out;
    }
    for (const auto& [path, reason] : expected) {
        const std::string bytes = read(path);
        EXPECT_EQ(bytes.substr(0, 3), path == "site/runaway.txt" ? "aaa" : "old") << path;
    }
    // Each error object of --json parses and carries its reason.
    size_t errors = 0;
    std::istringstream objects(json.out);
    for (std::string line; std::getline(objects, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        if (object.dump().find("\"error\"") != std::string::npos) ++errors;
    }
    EXPECT_EQ(errors, expected.size());
}

TEST_F(RifReasonsTest, BackupFolderIsMadeWhenMissingAndAFileInItsPlaceIsRefusedAtOnce) {
    write("site/a.txt", "old\n");
    write("site/b.txt", "old\n");
    write("not-a-folder", "");
    const Result refused = rif({"-b", "not-a-folder", "old", "new", "site"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "rif: the backup folder not-a-folder is not a folder\n");
    EXPECT_EQ(read("site/a.txt"), "old\n");

    const Result made = rif({"-q", "-b", "deep/new/bak", "old", "new", "site"});
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(read("deep/new/bak/a.txt"), "old\n");
    EXPECT_EQ(read("site/b.txt"), "new\n");
    EXPECT_EQ(rif({"--undo", "deep/new/bak"}).status, 0);
    EXPECT_EQ(read("site/b.txt"), "old\n");
}

}  // namespace
