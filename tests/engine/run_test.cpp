// The engine's walk and run without any window: a test observer sees every file's outcome,
// the replacements and the totals; a dry run touches nothing; an overlapping backup folder
// stops the run before its first file.

#include "engine/run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/file_walk.h"

namespace {

namespace fs = std::filesystem;

struct Seen {
    size_t index;
    FileOutcome outcome;
    size_t replacements;
    bool operator==(const Seen&) const = default;
};

class Recorder : public RunObserver {
public:
    void started() override { ++starts; }
    void fileDone(size_t index, FileOutcome outcome, const FileRewriter& rewriter) override {
        seen.push_back({index, outcome, rewriter.lastReplacements()});
    }
    int starts = 0;
    std::vector<Seen> seen;
};

class EngineRunTest : public testing::Test {
protected:
    void SetUp() override {
        useUtf8Locale();
        std::string pattern = (fs::temp_directory_path() / "engine-run-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern + "/";
    }
    void TearDown() override { fs::remove_all(root_); }
    void write(const std::string& name, const std::string& bytes) {
        fs::create_directories((fs::path(root_) / name).parent_path());
        std::ofstream(root_ + name, std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) {
        std::ifstream in(root_ + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::string root_;
};

TEST_F(EngineRunTest, ObserverSeesEveryFileAndTheTotals) {
    write("site/a.htm", "old old\n");
    write("site/b.txt", "nothing\n");
    write("site/sub/c.html", "old\n");
    write("site/skip.css", "old\n");
    const Text site = textFromUtf8(root_ + "site/");
    WalkRules rules;
    rules.extensions = {u"htm", u"html", u"txt"};
    std::vector<Text> files;
    walkFolder(site, Text(), rules, files);
    ASSERT_EQ(files, (std::vector<Text>{u"a.htm", u"b.txt", u"sub/c.html"}));

    PreparedRow row;
    row.search = u"old";
    row.replacement = u"new";
    RewriteOptions dry;
    dry.dryRun = true;
    Recorder preview;
    RunTotals totals;
    ASSERT_EQ(runOverFiles(site, files, row, dry, Text(), preview, totals), RunStart::ran);
    EXPECT_EQ(preview.seen, (std::vector<Seen>{{0, FileOutcome::changed, 2}, {1, FileOutcome::unchanged, 0},
                                               {2, FileOutcome::changed, 1}}));
    EXPECT_EQ(read("site/a.htm"), "old old\n");

    Recorder run;
    fs::create_directories(root_ + "bak");
    ASSERT_EQ(runOverFiles(site, files, row, RewriteOptions{}, textFromUtf8(root_ + "bak/"), run, totals),
              RunStart::ran);
    EXPECT_EQ(run.seen, preview.seen);
    EXPECT_EQ(totals.changed, 2);
    EXPECT_EQ(totals.failed, 0);
    EXPECT_EQ(totals.searched, 3);
    EXPECT_EQ(read("site/a.htm"), "new new\r\n");
    EXPECT_EQ(read("bak/sub/c.html"), "old\n");

    Recorder refused;
    EXPECT_EQ(runOverFiles(site, files, row, RewriteOptions{}, site, refused, totals), RunStart::backupOverlap);
    EXPECT_EQ(refused.starts, 0);
    EXPECT_TRUE(refused.seen.empty());
}

}  // namespace
