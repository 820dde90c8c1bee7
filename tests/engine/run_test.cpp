// The engine's walk and run without any window: a test observer sees every file's outcome,
// the replacements and the totals; a dry run touches nothing; an overlapping backup folder
// stops the run before its first file.

#include "engine/run.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>

#include "engine/file_walk.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

struct Seen {
    size_t index;
    FileOutcome outcome;
    size_t replacements;
    Text oldText;
    Text newText;
    bool operator==(const Seen&) const = default;
};
void PrintTo(const Seen& seen, std::ostream* out) {
    *out << "{" << seen.index << ": outcome " << static_cast<int>(seen.outcome) << ", " << seen.replacements
         << " places, " << seen.oldText.size() << " -> " << seen.newText.size() << " units}";
}

class Recorder : public RunObserver {
public:
    void started() override { ++starts; }
    void fileDone(size_t index, const FileReport& report) override {
        seen.push_back({index, report.outcome, report.replacements, report.oldText, report.newText});
    }
    int starts = 0;
    std::vector<Seen> seen;
};

class EngineRunTest : public testing_support::TemporaryFolderTest {
protected:
    void SetUp() override {
        useUtf8Locale();
        TemporaryFolderTest::SetUp();
    }
    // site/f0.txt ... holding "old\n"; their paths below site/.
    std::vector<Text> writeOldFiles(int count) {
        std::vector<Text> files;
        for (int i = 0; i < count; ++i) {
            write("site/f" + std::to_string(i) + ".txt", "old\n");
            files.push_back(textFromUtf8("f" + std::to_string(i) + ".txt"));
        }
        return files;
    }
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
    EXPECT_EQ(preview.seen, (std::vector<Seen>{{0, FileOutcome::changed, 2, {}, {}},
                                               {1, FileOutcome::unchanged, 0, {}, {}},
                                               {2, FileOutcome::changed, 1, {}, {}}}));
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

// Every file below a folder, by relative path: its bytes, or where it links to.
std::map<std::string, std::string> contentsOf(const fs::path& top) {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        const std::string relative = fs::relative(entry.path(), top).string();
        if (entry.is_symlink()) {
            contents[relative] = "-> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            contents[relative] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return contents;
}

// The same site, made again the same way: files in every encoding, with and without the
// search text, links to files of the list before and after them, a second hard link, files
// that fail (a zero byte, no write permission, a folder without write permission), files
// that cannot be read, and encodings that are not supported.
std::vector<Text> makeSite(const std::string& site, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> names;
    auto put = [&](const std::string& name, const std::string& bytes) {
        fs::create_directories((fs::path(site) / name).parent_path());
        std::ofstream(site + name, std::ios::binary) << bytes;
        names.push_back(name);
    };
    for (int i = 0; i < 240; ++i) {
        const std::string name = "d" + std::to_string(i % 7) + "/s" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt";
        std::string text;
        const int lines = std::uniform_int_distribution<int>(0, 40)(random);
        for (int line = 0; line < lines; ++line) {
            text += random() % 3 == 0 ? "an old line " : "a line ";
            text += std::to_string(line) + (random() % 4 == 0 ? "\n" : "\r\n");
        }
        switch (i % 10) {
            case 1: text = "\xEF\xBB\xBF" + text; break;
            case 2: {
                std::string wide = "\xFF\xFE";
                for (const char c : text) wide += std::string{c, '\0'};
                text = wide;
                break;
            }
            case 3: text = "\xFE\xFF\0o\0l\0d"; break;
            case 4: text += std::string("old\0zero", 8); break;
            default: break;
        }
        put(name, text);
    }
    put("locked/a.txt", "old in a folder without write permission\n");
    put("readonly.txt", "old but read-only\n");
    ::chmod((site + "readonly.txt").c_str(), 0444);
    put("target.txt", "old target\n");
    put("later/target.txt", "old target reached first by a link\n");
    fs::create_symlink("target.txt", site + "link-after.txt");
    fs::create_symlink("later/target.txt", site + "link-before.txt");
    fs::create_symlink("missing.txt", site + "dangling.txt");
    fs::create_hard_link(site + "d0/s0/f0.txt", site + "d0/second-name.txt");
    fs::create_directories(site + "folder.txt");
    ::mkfifo((site + "pipe.txt").c_str(), 0644);
    names.insert(names.begin() + 5, "link-before.txt");
    names.push_back("link-after.txt");
    names.insert(names.begin() + 100, "d0/second-name.txt");
    names.insert(names.begin() + 50, "dangling.txt");
    names.insert(names.begin() + 60, "folder.txt");
    names.insert(names.begin() + 70, "pipe.txt");
    ::chmod((site + "locked").c_str(), 0555);
    std::vector<Text> relatives;
    for (const std::string& name : names) relatives.push_back(textFromUtf8(name));
    return relatives;
}

TEST_F(EngineRunTest, RunOnSeveralThreadsLeavesWhatARunOnOneLeaves) {
    PreparedRow plain;
    plain.search = u"old";
    plain.replacement = u"new\r\n";
    for (const unsigned jobs : {2u, 8u}) {
        for (const bool keepOldText : {false, true}) {
            SCOPED_TRACE("jobs " + std::to_string(jobs) + (keepOldText ? ", texts kept" : ""));
            RewriteOptions options;
            options.keepOldText = keepOldText;
            options.keepLineEnds = keepOldText;
            std::map<std::string, std::string> contents[2];
            std::map<std::string, std::string> backups[2];
            std::set<std::string> journalled[2];
            std::vector<Seen> seen[2];
            RunTotals totals[2];
            for (int pass = 0; pass < 2; ++pass) {
                const std::string top = root_ + "pass" + std::to_string(pass) + "/";
                const std::vector<Text> files = makeSite(top + "site/", jobs);
                fs::create_directories(top + "bak");
                Recorder recorder;
                ASSERT_EQ(runOverFiles(textFromUtf8(top + "site/"), files, plain, options, textFromUtf8(top + "bak/"),
                                       recorder, totals[pass], nullptr, pass == 0 ? 1 : jobs),
                          RunStart::ran);
                seen[pass] = recorder.seen;
                ::chmod((top + "site/locked").c_str(), 0755);
                contents[pass] = contentsOf(top + "site");
                backups[pass] = contentsOf(top + "bak");
                const Journal journal = readJournal(top + "bak/");
                for (const JournalEntry& entry : journal.entries) journalled[pass].insert(entry.backup);
                backups[pass].erase(std::string(journalName));
                fs::remove_all(top);
            }
            EXPECT_EQ(seen[1], seen[0]);
            EXPECT_EQ(contents[1], contents[0]);
            EXPECT_EQ(backups[1], backups[0]);
            EXPECT_EQ(journalled[1], journalled[0]);
            EXPECT_EQ(totals[1].changed, totals[0].changed);
            EXPECT_EQ(totals[1].failed, totals[0].failed);
            EXPECT_EQ(totals[1].searched, totals[0].searched);
            // The site holds every kind of outcome, so that each was compared.
            std::set<FileOutcome> outcomes;
            for (const Seen& file : seen[0]) outcomes.insert(file.outcome);
            EXPECT_EQ(outcomes.size(), 5u);
            // Each file reached twice was rewritten under its first name only.
            const auto outcomeOf = [&](const std::string& name) {
                const std::vector<Text> files = makeSite(root_ + "names/", jobs);
                fs::remove_all(root_ + "names/");
                const size_t at = std::find(files.begin(), files.end(), textFromUtf8(name)) - files.begin();
                return seen[1].at(at).outcome;
            };
            EXPECT_EQ(outcomeOf("link-before.txt"), FileOutcome::changed);
            EXPECT_EQ(outcomeOf("link-after.txt"), FileOutcome::unchanged);
            EXPECT_EQ(outcomeOf("d0/second-name.txt"), FileOutcome::unchanged);
        }
    }
}

// Stops the run after the seventh file it is told.
class StopAt : public Recorder {
public:
    bool keepGoing() override { return seen.size() < 7; }
};

PreparedRow oldToNew() {
    PreparedRow row;
    row.search = u"old";
    row.replacement = u"new";
    return row;
}

// A dry run stopped by its observer tells the files up to the stop and no further, on
// any number of threads.
TEST_F(EngineRunTest, StoppedDryRunTellsNoFileAfterTheStop) {
    const std::vector<Text> files = writeOldFiles(200);
    const PreparedRow row = oldToNew();
    RewriteOptions dry;
    dry.dryRun = true;
    for (const unsigned jobs : {1u, 4u}) {
        StopAt observer;
        RunTotals totals;
        ASSERT_EQ(runOverFiles(textFromUtf8(root_ + "site/"), files, row, dry, Text(), observer, totals, nullptr, jobs),
                  RunStart::ran);
        ASSERT_EQ(observer.seen.size(), 7u) << jobs;
        for (size_t i = 0; i < 7; ++i) EXPECT_EQ(observer.seen[i].index, i);
        EXPECT_TRUE(totals.stopped);
        EXPECT_EQ(totals.searched, 7);
        EXPECT_EQ(totals.changed, 7);
    }
}

// A real run stopped by its observer on several threads tells every file it changed, in
// the list's order, and changes no file it does not tell: the files after the stop that
// it never began keep their text.
TEST_F(EngineRunTest, StoppedRunOnSeveralThreadsTellsEveryFileItChangedAndNoOther) {
    const int count = 2000;
    const std::vector<Text> files = writeOldFiles(count);
    StopAt observer;
    RunTotals totals;
    ASSERT_EQ(runOverFiles(textFromUtf8(root_ + "site/"), files, oldToNew(), RewriteOptions(), Text(), observer, totals,
                           nullptr, 2),
              RunStart::ran);
    EXPECT_TRUE(totals.stopped);
    ASSERT_GE(observer.seen.size(), 7u);
    ASSERT_LT(observer.seen.size(), static_cast<size_t>(count));
    EXPECT_EQ(totals.searched, static_cast<int64_t>(observer.seen.size()));
    std::vector<bool> told(count, false);
    for (size_t i = 0; i < observer.seen.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(observer.seen[i - 1].index, observer.seen[i].index);
        }
        told[observer.seen[i].index] = true;
    }
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(told[i]) << i;
    }
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(read("site/f" + std::to_string(i) + ".txt"), told[i] ? "new\r\n" : "old\n") << i;
    }
}

}  // namespace
