// One file of a run, on real files: what is written back byte for byte, what is left
// alone, and that a failure at any point keeps the original.

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/file_rewrite.h"
#include "engine/regex.h"
#include "tests/engine/rewrite_both_ways.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

using testing_support::plain;
using testing_support::RewriteResult;

// While alive, writes that would make any file larger than a few bytes fail, as on a full
// disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

class FileRewriteTest : public testing_support::TemporaryFolderTest {
protected:
    void SetUp() override {
        useUtf8Locale();
        TemporaryFolderTest::SetUp();
    }
    // Tests take the write permission of the folder away; the fixture gives it back before
    // it removes the folder.

    // The names in the folder: no temporary file may be left behind.
    int entries() const {
        return static_cast<int>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    // One file as a run of its own.
    FileOutcome rewrite(const std::string& name, const PreparedRow& row, const BeforeWrite& before = nullptr) {
        FileRewriter rewriter;
        return rewriter.rewrite(at(name), row, before);
    }
    // The files in this order as one run.
    std::vector<FileOutcome> run(const std::vector<std::string>& names, const PreparedRow& row,
                                 const RewriteOptions& options = {}) {
        FileRewriter rewriter(options);
        std::vector<FileOutcome> outcomes;
        for (const std::string& name : names) outcomes.push_back(rewriter.rewrite(at(name), row, nullptr));
        return outcomes;
    }
};

TEST_F(FileRewriteTest, LfFileIsWrittenWithCrLf) {
    write("f.txt", "old\nold");
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "new\r\nnew\r\n");
}

TEST_F(FileRewriteTest, MixedLineEndsAllBecomeCrLf) {
    write("f.txt", "a\r\nb\rc\n\nd");
    EXPECT_EQ(rewrite("f.txt", plain(u"d", u"e\nf\rg")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "a\r\nb\r\nc\r\n\r\ne\r\nf\r\ng\r\n");
}

// Line ends are looked for many units at a time, in reading and in writing.
TEST_F(FileRewriteTest, LineEndsAtEveryOffsetOfALineBecomeCrLf) {
    std::string bytes = "old";
    std::string expected = "new";
    for (size_t k = 0; k <= 40; ++k) {
        const char* const ends[] = {"\n", "\r", "\r\n"};
        bytes += std::string(k, 'x') + ends[k % 3];
        expected += std::string(k, 'x') + "\r\n";
    }
    write("f.txt", bytes);
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), expected);
}

TEST_F(FileRewriteTest, FileWithoutTheSearchTextKeepsBytesAndModificationTime) {
    write("f.txt", "old\nold");
    const auto old = fs::last_write_time(at("f.txt")) - std::chrono::hours(24);
    fs::last_write_time(at("f.txt"), old);
    EXPECT_EQ(rewrite("f.txt", plain(u"xyz", u"new")), FileOutcome::unchanged);
    EXPECT_EQ(read("f.txt"), "old\nold");
    EXPECT_EQ(fs::last_write_time(at("f.txt")), old);
}

TEST_F(FileRewriteTest, TextThatBecomesEmptyIsWrittenAsZeroBytes) {
    write("f.txt", "abc");
    EXPECT_EQ(rewrite("f.txt", plain(u"abc", u"")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "");
}

TEST_F(FileRewriteTest, TextEndingInALineBreakGetsAnEmptyLastLine) {
    write("f.txt", "a");
    EXPECT_EQ(rewrite("f.txt", plain(u"a", u"b\r\n")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "b\r\n\r\n");
}

TEST_F(FileRewriteTest, EmptyFirstLineStays) {
    write("f.txt", "\nx");
    EXPECT_EQ(rewrite("f.txt", plain(u"x", u"y")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "\r\ny\r\n");
}

TEST_F(FileRewriteTest, Utf8MarkIsWrittenBack) {
    write("f.txt", "\xEF\xBB\xBFg\xC3\xA4nse\n");
    EXPECT_EQ(rewrite("f.txt", plain(u"ä", u"ö")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "\xEF\xBB\xBFg\xC3\xB6nse\r\n");
}

TEST_F(FileRewriteTest, Utf16LeMarkIsWrittenBack) {
    write("f.txt", std::string("\xFF\xFE" "a\0b\0\n\0c\0", 10));
    EXPECT_EQ(rewrite("f.txt", plain(u"b", u"\u20AC")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), std::string("\xFF\xFE" "a\0\xAC\x20\r\0\n\0c\0\r\0\n\0", 16));
    // Read again as UTF-16LE, a second change keeps the file whole.
    EXPECT_EQ(rewrite("f.txt", plain(u"c", u"d")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), std::string("\xFF\xFE" "a\0\xAC\x20\r\0\n\0d\0\r\0\n\0", 16));
}

TEST_F(FileRewriteTest, Latin1BytesRoundTripAroundTheReplacement) {
    write("f.txt", "caf\xE9 old na\xEFve\xFF");
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "caf\xE9 new na\xEFve\xFF\r\n");
}

// In BIG5 the bytes F9 EA and A2 A6 are both U+256A, which is written back as A2 A6.
TEST_F(FileRewriteTest, AnsiBytesThatTheCharacterSetDoesNotGiveBackAreNeverWritten) {
    const iconv_t probe = iconv_open("UTF-16LE", "BIG5");
    if (probe == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv has no BIG5";
    iconv_close(probe);
    RewriteOptions big5;
    big5.ansiCharset = "BIG5";
    write("big5.txt", "a\xF9\xEA\r\n");
    EXPECT_EQ(run({"big5.txt"}, plain(u"a", u"b"), big5), std::vector<FileOutcome>{FileOutcome::failed});
    EXPECT_EQ(read("big5.txt"), "a\xF9\xEA\r\n");
    write("plain.txt", "a\xA2\xA6\r\n");
    EXPECT_EQ(run({"plain.txt"}, plain(u"a", u"b"), big5), std::vector<FileOutcome>{FileOutcome::changed});
    EXPECT_EQ(read("plain.txt"), "b\xA2\xA6\r\n");
}

TEST_F(FileRewriteTest, FileWithAZeroByteIsNeverWritten) {
    const std::string bytes("old\0old\n", 8);
    write("f.txt", bytes);
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::failed);
    EXPECT_EQ(read("f.txt"), bytes);
    EXPECT_EQ(rewrite("f.txt", plain(u"xyz", u"new")), FileOutcome::unchanged);
    EXPECT_EQ(read("f.txt"), bytes);
}

TEST_F(FileRewriteTest, Utf16FileCutInsideAUnitIsNeverWritten) {
    const std::string bytes("\xFF\xFE" "a\0b", 5);
    write("f.txt", bytes);
    EXPECT_EQ(rewrite("f.txt", plain(u"a", u"x")), FileOutcome::failed);
    EXPECT_EQ(read("f.txt"), bytes);
}

TEST_F(FileRewriteTest, BigEndianMarksAreUnsupported) {
    write("be16.txt", std::string("\xFE\xFF\0a", 4));
    write("be32.txt", std::string("\0\0\xFE\xFF\0\0\0a", 8));
    EXPECT_EQ(rewrite("be16.txt", plain(u"a", u"b")), FileOutcome::unsupported);
    EXPECT_EQ(rewrite("be32.txt", plain(u"a", u"b")), FileOutcome::unsupported);
    EXPECT_EQ(read("be16.txt"), std::string("\xFE\xFF\0a", 4));
}

TEST_F(FileRewriteTest, MissingFilesAndFoldersAreUnreadable) {
    fs::create_directory(at("sub"));
    EXPECT_EQ(rewrite("missing.txt", plain(u"a", u"b")), FileOutcome::unreadable);
    EXPECT_EQ(rewrite("sub", plain(u"a", u"b")), FileOutcome::unreadable);
}

TEST_F(FileRewriteTest, PermissionBitsAreKept) {
    write("f.txt", "a");
    fs::permissions(at("f.txt"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(rewrite("f.txt", plain(u"a", u"b")), FileOutcome::changed);
    EXPECT_EQ(fs::status(at("f.txt")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileRewriteTest, SymbolicLinkStaysALinkAndItsTargetIsRewritten) {
    write("target.txt", "a");
    fs::create_symlink("target.txt", at("link.txt"));
    EXPECT_EQ(rewrite("link.txt", plain(u"a", u"b")), FileOutcome::changed);
    EXPECT_TRUE(fs::is_symlink(at("link.txt")));
    EXPECT_EQ(fs::read_symlink(at("link.txt")), "target.txt");
    EXPECT_EQ(read("target.txt"), "b\r\n");
}

// A file met again in a run under another name is neither read nor written again.
TEST_F(FileRewriteTest, FileAndASymbolicLinkToItAreRewrittenOnceInARunInEitherOrder) {
    write("a.txt", "x");
    fs::create_symlink("a.txt", at("b.txt"));
    const std::vector<FileOutcome> once = {FileOutcome::changed, FileOutcome::unchanged};
    EXPECT_EQ(run({"a.txt", "b.txt"}, plain(u"x", u"xx")), once);
    EXPECT_EQ(read("a.txt"), "xx\r\n");
    write("a.txt", "x");
    EXPECT_EQ(run({"b.txt", "a.txt"}, plain(u"x", u"xx")), once);
    EXPECT_EQ(read("a.txt"), "xx\r\n");
    EXPECT_TRUE(fs::is_symlink(at("b.txt")));
    EXPECT_EQ(entries(), 2);
}

// A new file in place of one name would leave the other hard links with the old bytes: a
// file with several names is left alone under each, with the reason, and still holds one
// text under all of them.
TEST_F(FileRewriteTest, FileWithHardLinksIsLeftAloneUnderEveryName) {
    const std::vector<FileOutcome> refused = {FileOutcome::failed, FileOutcome::unchanged};
    for (const auto& [first, second] : {std::pair("a.txt", "b.txt"), std::pair("b.txt", "a.txt")}) {
        fs::remove(at("a.txt"));
        fs::remove(at("b.txt"));
        write("a.txt", "x");
        fs::create_hard_link(at("a.txt"), at("b.txt"));
        EXPECT_EQ(run({first, second}, plain(u"x", u"xx")), refused) << first;
        EXPECT_EQ(read(first), "x") << first;
        EXPECT_EQ(read(second), "x") << first;
        EXPECT_EQ(fs::hard_link_count(at("a.txt")), 2u);
    }
    FileRewriter rewriter;
    EXPECT_EQ(rewriter.rewrite(at("a.txt"), plain(u"x", u"xx"), nullptr), FileOutcome::failed);
    EXPECT_EQ(rewriter.lastFailure().cause, FailureCause::hardLinks);
    EXPECT_EQ(entries(), 2);
}

TEST_F(FileRewriteTest, DifferentFilesWithEqualBytesAreBothRewrittenInARun) {
    write("a.txt", "x");
    write("b.txt", "x");
    EXPECT_EQ(run({"a.txt", "b.txt"}, plain(u"x", u"xx")),
              (std::vector<FileOutcome>{FileOutcome::changed, FileOutcome::changed}));
    EXPECT_EQ(read("a.txt"), "xx\r\n");
    EXPECT_EQ(read("b.txt"), "xx\r\n");
}

// The rewriter keeps a descriptor of the folder it last wrote in; files are written in
// the folder their path names even when that folder has changed since.
TEST_F(FileRewriteTest, FilesAreWrittenInTheFolderTheirPathNames) {
    fs::create_directory(at("a"));
    fs::create_directory(at("b"));
    write("a/1.txt", "old");
    write("b/1.txt", "old");
    write("a/2.txt", "old");
    EXPECT_EQ(rewrite("a/1.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(rewrite("b/1.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(rewrite("a/2.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("a/1.txt"), "new\r\n");
    EXPECT_EQ(read("b/1.txt"), "new\r\n");
    EXPECT_EQ(read("a/2.txt"), "new\r\n");

    // A folder renamed, and a new one at its path holding a file of the same name.
    write("a/3.txt", "old");
    fs::rename(at("a"), at("renamed"));
    fs::create_directory(at("a"));
    write("a/3.txt", "old");
    EXPECT_EQ(rewrite("a/3.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("a/3.txt"), "new\r\n");
    EXPECT_EQ(read("renamed/3.txt"), "old");

    // The same file under the same name in the old folder too.
    write("a/4.txt", "old");
    EXPECT_EQ(rewrite("a/3.txt", plain(u"new", u"old")), FileOutcome::changed);
    fs::rename(at("a"), at("again"));
    fs::create_directory(at("a"));
    fs::create_hard_link(at("again/4.txt"), at("a/4.txt"));
    EXPECT_EQ(rewrite("a/4.txt", plain(u"old", u"new")), FileOutcome::failed);
    EXPECT_EQ(read("a/4.txt"), "old");
    EXPECT_EQ(read("again/4.txt"), "old");

    // A folder removed: its files are gone, and one made again at its path is written.
    fs::remove_all(at("a"));
    EXPECT_EQ(rewrite("a/4.txt", plain(u"old", u"new")), FileOutcome::unreadable);
    fs::create_directory(at("a"));
    write("a/4.txt", "old");
    EXPECT_EQ(rewrite("a/4.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("a/4.txt"), "new\r\n");
    for (const char* folder : {"a", "b", "renamed", "again"}) {
        for (const auto& entry : fs::directory_iterator(folder_ / folder))
            EXPECT_NE(entry.path().filename().string().rfind(".replace-", 0), 0u) << entry.path();
    }
}

TEST_F(FileRewriteTest, FailedWriteKeepsTheOriginalAndLeavesNoTemporaryFile) {
    const std::string original = "old " + std::string(100, 'x');
    write("f.txt", original);
    {
        FileSizeLimit limit(16);
        EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::failed);
    }
    EXPECT_EQ(read("f.txt"), original);
    EXPECT_EQ(entries(), 1);
}

// With line ends kept, every byte outside the replaced text stays: each line end as it was
// read, a last line without one; line breaks of the replacement take the first line end.
TEST_F(FileRewriteTest, KeptLineEndsStayAsTheyWereAndReplacementBreaksTakeTheFirst) {
    const RewriteOptions keep{"", true};
    const struct {
        std::string before;
        PreparedRow row;
        std::string after;
    } cases[] = {
        {"one\r\ntwo\nthree\rfour", plain(u"two", u"2a\r\n2b"), "one\r\n2a\r\n2b\nthree\rfour"},
        {"a\nb\r\nc\n", plain(u"b", u"x\ry\nz"), "a\nx\ny\nz\r\nc\n"},
        // A search across a line end takes that line end with it.
        {"a\nb\r\nc\n", plain(u"a\r\nb", u"z"), "z\r\nc\n"},
        {"a\nb\r\nc\n", plain(u"b\r", u"B"), "a\nBc\n"},
        {"abc", plain(u"b", u"x\r\ny"), "ax\nyc"},
        {"x\r\r\n\n", plain(u"x", u"y"), "y\r\r\n\n"},
    };
    for (const auto& c : cases) {
        write("f.txt", c.before);
        FileRewriter rewriter(keep);
        EXPECT_EQ(rewriter.rewrite(at("f.txt"), c.row, nullptr), FileOutcome::changed) << c.before;
        EXPECT_EQ(read("f.txt"), c.after) << c.before;
    }
    // UTF-16LE, with its mark, and a regular expression.
    write("w.txt", std::string("\xFF\xFEo\0l\0d\0\n\0x\0", 12));
    PreparedRow regex = plain(u"o(l)d", u"\\1\r\n");
    regex.options.useRegex = true;
    regex.pattern = compilePattern(regex.search, compileFlags(regex.options)).pattern;
    ASSERT_NE(regex.pattern, nullptr);
    FileRewriter rewriter(keep);
    EXPECT_EQ(rewriter.rewrite(at("w.txt"), regex, nullptr), FileOutcome::changed);
    EXPECT_EQ(read("w.txt"), std::string("\xFF\xFEl\0\n\0\n\0x\0", 10));
}

// Runs work in a child process and gives its exit status (as waitpid reports it).
int inChildProcess(const std::function<int()>& work) {
    const pid_t child = fork();
    if (child == 0) _exit(work());
    int status = -1;
    waitpid(child, &status, 0);
    return status;
}

// A process killed while it writes a file's new contents leaves the original as it was and
// no other file beside it.
TEST_F(FileRewriteTest, CrashWhileWritingLeavesNothingBehind) {
    const std::string original = "old " + std::string(5000, 'x');
    write("f.txt", original);
    const int status = inChildProcess([&] {
        // Writing past the limit raises SIGXFSZ, whose default action ends the process.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
        const rlimit small{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &small);
        rewrite("f.txt", plain(u"old", u"new"));
        return 0;
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(read("f.txt"), original);
    EXPECT_EQ(entries(), 1);
}

// A file for which there is not memory enough fails alone: the run goes on with the next.
// Replaced on its bytes, the same file needs no room for its text and is changed.
TEST_F(FileRewriteTest, FileTooLargeForMemoryFailsAloneAndTheRunGoesOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves address space that a limit on it cannot leave room for";
#endif
    std::string large(64 * 1024 * 1024, 'x');
    large.replace(0, 3, "old");
    write("large.txt", large);
    large.clear();
    large.shrink_to_fit();
    write("small.txt", "old");
    // Room for the file's bytes but not for its text as well.
    const auto withLimitedMemory = [&](const RewriteOptions& options) {
        return inChildProcess([&] {
            std::ifstream statm("/proc/self/statm");
            size_t pages = 0;
            statm >> pages;
            const rlim_t room = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + 96 * 1024 * 1024;
            const rlimit limit{room, room};
            setrlimit(RLIMIT_AS, &limit);
            const std::vector<FileOutcome> outcomes = run({"large.txt", "small.txt"}, plain(u"old", u"new"), options);
            if (outcomes == std::vector<FileOutcome>{FileOutcome::failed, FileOutcome::changed}) return 0;
            if (outcomes == std::vector<FileOutcome>{FileOutcome::changed, FileOutcome::changed}) return 1;
            return 2;
        });
    };
    RewriteOptions throughText;
    throughText.byteLevelFrom = SIZE_MAX;
    int status = withLimitedMemory(throughText);
    ASSERT_TRUE(WIFEXITED(status)) << "the process did not survive";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read("large.txt").substr(0, 4), "oldx");
    EXPECT_EQ(read("small.txt"), "new\r\n");

    write("small.txt", "old");
    status = withLimitedMemory(RewriteOptions());
    ASSERT_TRUE(WIFEXITED(status)) << "the process did not survive";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string rewritten = read("large.txt");
    EXPECT_EQ(rewritten.size(), 64u * 1024 * 1024 + 2);
    EXPECT_EQ(rewritten.substr(0, 4), "newx");
    EXPECT_EQ(rewritten.substr(rewritten.size() - 3), "x\r\n");
    EXPECT_EQ(read("small.txt"), "new\r\n");
}

// A file that another holder has locked is read: it is "unchanged" when nothing is found in
// it, and "failed" and left alone (no copy made) when it would change, in a dry run too.
// The file being written is locked by the run until its new contents are in place.
TEST_F(FileRewriteTest, FileInUseIsLeftAloneOnlyWhenItWouldChange) {
    write("f.txt", "old");
    const int holder = ::open(at("f.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    if (::flock(holder, LOCK_EX | LOCK_NB) != 0) {
        ::close(holder);
        GTEST_SKIP() << "the temporary folder's file system does not support flock";
    }
    int asked = 0;
    const BeforeWrite count = [&] { ++asked; return true; };
    for (const size_t byteLevelFrom : {size_t{0}, SIZE_MAX}) {
        RewriteOptions options;
        options.byteLevelFrom = byteLevelFrom;
        EXPECT_EQ(FileRewriter(options).rewrite(at("f.txt"), plain(u"xyz", u"new"), count), FileOutcome::unchanged);
        EXPECT_EQ(FileRewriter(options).rewrite(at("f.txt"), plain(u"old", u"new"), count), FileOutcome::failed);
        options.dryRun = true;
        FileRewriter dryRun(options);
        EXPECT_EQ(dryRun.rewrite(at("f.txt"), plain(u"old", u"new"), count), FileOutcome::failed);
    }
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(read("f.txt"), "old");

    ::close(holder);
    const int other = ::open(at("f.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    bool lockedWhileWriting = false;
    const BeforeWrite probe = [&] {
        lockedWhileWriting = ::flock(other, LOCK_EX | LOCK_NB) != 0;
        return true;
    };
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new"), probe), FileOutcome::changed);
    EXPECT_TRUE(lockedWhileWriting);
    EXPECT_EQ(read("f.txt"), "new\r\n");
    ::close(other);
    // A dry run only tries the lock: it goes with the reader.
    const int written = ::open(at("f.txt").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(written, 0);
    RewriteOptions options;
    options.dryRun = true;
    FileRewriter dryRun(options);
    EXPECT_EQ(dryRun.rewrite(at("f.txt"), plain(u"new", u"old"), nullptr), FileOutcome::changed);
    EXPECT_EQ(::flock(written, LOCK_EX | LOCK_NB), 0);
    ::close(written);
}

// A file or folder without any write bit is refused also for the administrator, who passes
// every permission check (the test is run as root by CI).
TEST_F(FileRewriteTest, ReadOnlyFileAndFolderAreRefusedForEveryUser) {
    write("f.txt", "old");
    fs::permissions(at("f.txt"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directory(at("locked"));
    write("locked/g.txt", "old");
    fs::permissions(at("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(rewrite("f.txt", plain(u"old", u"new")), FileOutcome::failed);
    EXPECT_EQ(rewrite("locked/g.txt", plain(u"old", u"new")), FileOutcome::failed);
    EXPECT_EQ(read("f.txt"), "old");
    EXPECT_EQ(read("locked/g.txt"), "old");
    fs::permissions(at("locked"), fs::perms::owner_all);
}

TEST_F(FileRewriteTest, RefusalBeforeWritingLeavesTheFileAlone) {
    write("f.txt", "a");
    int asked = 0;
    EXPECT_EQ(rewrite("f.txt", plain(u"a", u"b"), [&] { ++asked; return false; }), FileOutcome::failed);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(read("f.txt"), "a");
    EXPECT_EQ(rewrite("f.txt", plain(u"z", u"b"), [&] { ++asked; return true; }), FileOutcome::unchanged);
    EXPECT_EQ(asked, 1);
}

TEST_F(FileRewriteTest, MatchErrorLeavesTheFileAlone) {
    const std::string original = "x " + std::string(40, 'a') + "b";
    write("f.txt", original);
    PreparedRow row = plain(u"x|(a+)+$", u"y");
    row.options.useRegex = true;
    row.pattern = compilePattern(row.search, compileFlags(row.options)).pattern;
    ASSERT_NE(row.pattern, nullptr);
    EXPECT_EQ(rewrite("f.txt", row), FileOutcome::failed);
    EXPECT_EQ(read("f.txt"), original);
}

TEST_F(FileRewriteTest, NothingOfOneFileCarriesOverToTheNext) {
    write("a.txt", "\n\nlong first file with old text");
    write("b.txt", "old");
    EXPECT_EQ(rewrite("a.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(rewrite("b.txt", plain(u"old", u"new")), FileOutcome::changed);
    EXPECT_EQ(read("b.txt"), "new\r\n");
}

// A file whose bytes lack the search text's bytes is passed over without being decoded;
// these matches exist only in the decoded text and must still be replaced.
TEST_F(FileRewriteTest, MatchesThatOnlyTheDecodedTextHoldsAreReplaced) {
    write("lf.txt", "a\nb");  // lines are joined by CR LF
    EXPECT_EQ(rewrite("lf.txt", plain(u"a\r\nb", u"c")), FileOutcome::changed);
    EXPECT_EQ(read("lf.txt"), "c\r\n");
    write("pair.txt", "smile \xF0\x9F\x98\x80");  // U+1F600 is the pair D83D DE00
    EXPECT_EQ(rewrite("pair.txt", plain(u"\xD83D", u"x")), FileOutcome::changed);
    EXPECT_EQ(read("pair.txt"), "smile x?\r\n");
    write("kelvin.txt", "\xE2\x84\xAA");  // KELVIN SIGN lower-cases to "k"
    PreparedRow caseless = plain(u"k", u"x");
    caseless.options.matchCase = false;
    EXPECT_EQ(rewrite("kelvin.txt", caseless), FileOutcome::changed);
    EXPECT_EQ(read("kelvin.txt"), "x\r\n");
}

// A regular expression's files are passed over by the characters its matches begin with;
// a typed U+FFFD finds only a real one, never bytes that are not UTF-8.
TEST_F(FileRewriteTest, RegexMatchesOfFilesWithoutTheLeadingCharactersBytesAreStillFound) {
    const auto regex = [](const Text& pattern, const Text& replacement) {
        PreparedRow row = plain(pattern, replacement);
        row.options.useRegex = true;
        row.pattern = compilePattern(row.search, compileFlags(row.options)).pattern;
        EXPECT_NE(row.pattern, nullptr);
        return row;
    };
    write("latin1.txt", "caf\xE9 \xEF\xBF\xBD");
    EXPECT_EQ(rewrite("latin1.txt", regex(u"\uFFFD", u"")), FileOutcome::changed);
    EXPECT_EQ(read("latin1.txt"), "caf\xE9 \r\n");
    EXPECT_EQ(rewrite("latin1.txt", regex(u"caf.", u"cafe")), FileOutcome::changed);
    EXPECT_EQ(read("latin1.txt"), "cafe \r\n");
    write("old.txt", "an oldword and old");
    EXPECT_EQ(rewrite("old.txt", regex(u"old(\\w+)", u"new\\1")), FileOutcome::changed);
    EXPECT_EQ(read("old.txt"), "an newword and old\r\n");
    EXPECT_EQ(rewrite("old.txt", regex(u"old(\\w+)", u"x")), FileOutcome::unchanged);
    write("lf.txt", "a\nb");
    EXPECT_EQ(rewrite("lf.txt", regex(u"a\r\nb", u"c")), FileOutcome::changed);
    EXPECT_EQ(read("lf.txt"), "c\r\n");
}

// "\E" and a comment group stand between a character and its quantifier without ending
// the quantified item, so the character need not be in the file.
TEST_F(FileRewriteTest, RegexCharacterQuantifiedAcrossAnEmptyQuoteOrCommentNeedNotBeInTheFile) {
    for (const Text pattern : {u"ab\\E?c", u"ab\\Q\\E?c", u"ab(?#note)?c"}) {
        PreparedRow row = plain(pattern, u"X");
        row.options.useRegex = true;
        row.pattern = compilePattern(row.search, compileFlags(row.options)).pattern;
        ASSERT_NE(row.pattern, nullptr);
        write("ac.txt", "ac");
        EXPECT_EQ(rewrite("ac.txt", row), FileOutcome::changed);
        EXPECT_EQ(read("ac.txt"), "X\r\n");
    }
}

TEST_F(FileRewriteTest, Utf16LeSearchBytesAtAnOddOffsetDoNotHideALaterMatch) {
    // The units a, b, U+6200: the bytes 00 62 of U+6200 first appear across a and b.
    const std::string bytes("\xFF\xFE" "a\0b\0\0\x62", 8);
    write("f.txt", bytes.substr(0, 6));
    EXPECT_EQ(rewrite("f.txt", plain(u"\u6200", u"c")), FileOutcome::unchanged);
    write("f.txt", bytes);
    EXPECT_EQ(rewrite("f.txt", plain(u"\u6200", u"c")), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), std::string("\xFF\xFE" "a\0b\0c\0\r\0\n\0", 12));
}

// Another program that writes the file while the run reads, replaces and writes it (an
// editor's save, a line appended to a log) keeps its change: the new file does not take
// the place of a file that is no longer the one read.
TEST_F(FileRewriteTest, FileChangedByAnotherProgramDuringItsRewriteKeepsThatChange) {
    write("log.txt", "old line\n");
    const std::string appendLine = "printf 'appended\\n' >> " + at("log.txt");
    FileRewriter rewriter;
    // Held just before the rename, as the journal's entry is written, while another
    // process appends.
    const FileOutcome outcome = rewriter.rewrite(at("log.txt"), plain(u"old", u"new"), nullptr,
                                                 [&](const Fingerprint&) { return std::system(appendLine.c_str()) == 0; });
    EXPECT_EQ(outcome, FileOutcome::failed);
    EXPECT_EQ(rewriter.lastFailure().cause, FailureCause::changedMeanwhile);
    EXPECT_EQ(read("log.txt"), "old line\nappended\n");

    // Replaced under its name by an editor's save.
    const std::string save = "printf 'saved old\\n' > " + at("saved.tmp") + " && mv " + at("saved.tmp") + " " +
                             at("log.txt");
    EXPECT_EQ(FileRewriter().rewrite(at("log.txt"), plain(u"old", u"new"), nullptr,
                                     [&](const Fingerprint&) { return std::system(save.c_str()) == 0; }),
              FileOutcome::failed);
    EXPECT_EQ(read("log.txt"), "saved old\n");
    EXPECT_EQ(entries(), 1);
}

// The descriptors a process holds.
int openDescriptors() {
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// A file too large for the memory, or whose work throws, fails alone: no descriptor is
// kept, and a run's later files do not wait for it.
TEST_F(FileRewriteTest, FileWhoseWorkThrowsFailsAloneWithoutLeakOrWait) {
    // AddressSanitizer ends the process where an allocation this large fails.
#if !defined(__SANITIZE_ADDRESS__)
    {
        std::ofstream(at("huge.txt"));
    }
    // Far more than the memory (a sparse file): reserving its bytes throws. (A file that
    // is replaced on its bytes is read a window at a time; one whose old text is kept is
    // held whole.)
    std::error_code tooLarge;
    fs::resize_file(at("huge.txt"), uintmax_t{1} << 42, tooLarge);
    if (!tooLarge) {
        const int before = openDescriptors();
        RewriteOptions keepingOldText;
        keepingOldText.keepOldText = true;
        FileRewriter rewriter(keepingOldText);
        EXPECT_EQ(rewriter.rewrite(at("huge.txt"), plain(u"old", u"new"), nullptr), FileOutcome::failed);
        EXPECT_EQ(rewriter.lastFailure().cause, FailureCause::outOfMemory);
        EXPECT_EQ(openDescriptors(), before);
    }
    fs::remove(at("huge.txt"));
#endif

    write("a.txt", "old");
    write("b.txt", "old");
    ReachedFiles shared;
    FileRewriter first({}, &shared);
    FileRewriter second({}, &shared);
    FileOutcome later = FileOutcome::unreadable;
    std::thread after([&] { later = second.rewrite(1, at("b.txt"), plain(u"old", u"new"), nullptr); });
    EXPECT_EQ(first.rewrite(0, at("a.txt"), plain(u"old", u"new"),
                            []() -> bool { throw std::runtime_error("the copy threw"); }),
              FileOutcome::failed);
    after.join();
    EXPECT_EQ(later, FileOutcome::changed);
    EXPECT_EQ(read("a.txt"), "old");
    EXPECT_EQ(read("b.txt"), "new\r\n");
}


// ---- On the bytes of large UTF-8 files ----------------------------------------------------
// Large UTF-8 files are replaced on their bytes: every file here is rewritten both ways, on
// its bytes (byteLevelFrom 0) and through its text (byteLevelFrom beyond any size), and both
// must end alike: the same bytes, outcome and count, with line ends kept and without.

using ByteRewriteTest = testing_support::RewriteBothWaysTest;

const std::string mark = "\xEF\xBB\xBF";

// Each file and row, in both modes and as a dry run, gives the same on its bytes as
// through its text.
TEST_F(ByteRewriteTest, BytesAndTextGiveTheSameFiles) {
    const struct {
        std::string bytes;
        PreparedRow row;
    } cases[] = {
        {"old\nold", plain(u"old", u"new")},
        {"a\r\nb\rc\n\nd old\r\n", plain(u"old", u"new")},
        {mark + "old\r\nx old y\r\n", plain(u"old", u"new")},
        {mark + "old", plain(u"old", u"")},
        {mark, plain(u"old", u"new")},
        // Line ends of every kind first, and files without a final one.
        {"x old", plain(u"old", u"new\r\n")},
        {"x\rold\r", plain(u"old", u"a\nb")},
        {"x\nold\r\n", plain(u"old", u"a\rb")},
        {"\r\nold", plain(u"old", u"")},
        {"old\r", plain(u"old", u"y")},
        {"\n\rold\n\n", plain(u"old", u"\r\n")},
        // Breaks at the start and end of the replacement, and places side by side.
        {"oldold\noldxold", plain(u"old", u"\nx\r")},
        {"oldoldold", plain(u"old", u"\r")},
        {"oldoldold", plain(u"old", u"\n")},
        {"oldold\r\nold", plain(u"old", u"\n\r")},
        {"old\noldold", plain(u"old", u"x\r")},
        {"old\r\n", plain(u"old", u"x\r")},
        {"oldold", plain(u"old", u"\r\n")},
        {"a\r\noldold\r\nb", plain(u"old", u"x\ry\nz\r\n")},
        // New texts that are empty, or a line break alone.
        {"old", plain(u"old", u"")},
        {"old\n", plain(u"old", u"")},
        {"oldold\r\n", plain(u"old", u"")},
        {"old\r", plain(u"old", u"")},
        {"\nold", plain(u"old", u"")},
        {"old\n\n", plain(u"old", u"")},
        {"old\nold", plain(u"old", u"")},
        // Bytes that are not UTF-8 around the places, and a search text beyond ASCII.
        {"\xFFold\x80 \xC3old\xA9 \xE2\x82old\xAC", plain(u"old", u"n\u00E9w")},
        {"caf\xC3\xA9 \xC3\xA9\xA9 \xC3\xC3\xA9", plain(u"\u00E9", u"e")},
        {"\xE2\x82\xAC\xE2\x82\xAC \x82\xAC", plain(u"\u20AC", u"EUR")},
        {"old\x80", plain(u"old", u"\xDC80x")},
        {"old\x80", plain(u"old", u"\xD83D")},
        {"oldold", plain(u"old", u"\xDE00\xD83D")},
        {"old old", plain(u"old", u"\xD800 \U0001F600")},
        // Nothing to change: a zero byte, the search text kept, not found, only in the mark.
        {std::string("old\0old\n", 8), plain(u"old", u"new")},
        {std::string("xyz\0\n", 5), plain(u"old", u"new")},
        {"old old", plain(u"old", u"old")},
        {"older", plain(u"olds", u"new")},
        {mark + "abc", plain(u"\uFEFF", u"x")},
    };
    for (const auto& c : cases) {
        for (const bool keepLineEnds : {false, true}) {
            for (const bool dryRun : {false, true}) {
                RewriteOptions options;
                options.keepLineEnds = keepLineEnds;
                options.dryRun = dryRun;
                const RewriteResult text = rewrite(c.bytes, c.row, options, SIZE_MAX);
                const RewriteResult bytes = rewrite(c.bytes, c.row, options, 0);
                EXPECT_EQ(bytes, text) << "file " << testing::PrintToString(c.bytes) << ", line ends "
                                       << (keepLineEnds ? "kept" : "as CR LF") << (dryRun ? ", dry run" : "");
                if (dryRun) {
                    EXPECT_EQ(bytes.bytes, c.bytes);
                }
            }
        }
    }
}

// A large file (17 MB) is replaced on its bytes by default: it has no new text then,
// and its bytes and count are those of the text.
TEST_F(ByteRewriteTest, LargeFileIsReplacedOnItsBytesByDefault) {
    std::string bytes;
    const std::string line = "some text before oldsite and after it \xC3\xA4\r\n";
    while (bytes.size() < 17 * 1024 * 1024) bytes += line;
    const size_t places = bytes.size() / line.size() + 1;
    bytes += "oldsite at the end\nof a line\rand a last line";
    const PreparedRow row = plain(u"oldsite", u"new\nsite");
    for (const bool keepLineEnds : {false, true}) {
        RewriteOptions options;
        options.keepLineEnds = keepLineEnds;
        write("f.txt", bytes);
        FileRewriter byDefault(options);
        EXPECT_EQ(byDefault.rewrite(at("f.txt"), row, nullptr), FileOutcome::changed);
        EXPECT_EQ(byDefault.lastReplacements(), places);
        EXPECT_TRUE(byDefault.lastNewText().empty());
        EXPECT_EQ(byDefault.lastFormat(), TextFormat::ansi);
        const std::string onBytes = read("f.txt");

        write("f.txt", bytes);
        options.byteLevelFrom = SIZE_MAX;
        FileRewriter throughText(options);
        EXPECT_EQ(throughText.rewrite(at("f.txt"), row, nullptr), FileOutcome::changed);
        EXPECT_EQ(throughText.lastReplacements(), places);
        EXPECT_FALSE(throughText.lastNewText().empty());
        EXPECT_TRUE(onBytes == read("f.txt")) << (keepLineEnds ? "line ends kept" : "line ends as CR LF");
        EXPECT_EQ(onBytes.substr(0, 23), "some text before new\r\ns");
        const std::string end = keepLineEnds ? "new\r\nsite at the end\nof a line\rand a last line"
                                             : "new\r\nsite at the end\r\nof a line\r\nand a last line\r\n";
        EXPECT_EQ(onBytes.substr(onBytes.size() - end.size()), end);
    }
}

// What a run does around the write is the same on the bytes: the hook before writing may
// refuse, the hook before the rename is told the new bytes' fingerprint, and a file met
// again under another name in the run is left alone.
TEST_F(ByteRewriteTest, HooksAndFilesMetAgainAreAsThroughTheText) {
    RewriteOptions options;
    options.byteLevelFrom = 0;
    write("a.txt", mark + "old\n");
    EXPECT_EQ(FileRewriter(options).rewrite(at("a.txt"), plain(u"old", u"new"), [] { return false; }),
              FileOutcome::failed);
    EXPECT_EQ(read("a.txt"), mark + "old\n");

    Fingerprint told;
    FileRewriter rewriter(options);
    fs::create_symlink("a.txt", at("c.txt"));
    EXPECT_EQ(rewriter.rewrite(at("a.txt"), plain(u"old", u"new"), nullptr,
                               [&](const Fingerprint& written) {
                                   told = written;
                                   return true;
                               }),
              FileOutcome::changed);
    EXPECT_EQ(rewriter.lastFormat(), TextFormat::utf8);
    EXPECT_EQ(read("a.txt"), mark + "new\r\n");
    EXPECT_EQ(told, fingerprintOf(mark + "new\r\n"));
    EXPECT_EQ(rewriter.rewrite(at("c.txt"), plain(u"new", u"old"), nullptr), FileOutcome::unchanged);
    EXPECT_EQ(read("a.txt"), mark + "new\r\n");

    EXPECT_EQ(FileRewriter(options).rewrite(at("a.txt"), plain(u"new", u"newer"), nullptr,
                                            [](const Fingerprint&) { return false; }),
              FileOutcome::failed);
    EXPECT_EQ(read("a.txt"), mark + "new\r\n");
}

// Files and rows that the bytes cannot stand for go through their text, also when large:
// another character set, letter case ignored, the old text kept for showing the change.
TEST_F(ByteRewriteTest, OtherFilesAndRowsGoThroughTheirText) {
    RewriteOptions options;
    options.byteLevelFrom = 0;
    options.ansiCharset = "ISO-8859-1";
    write("f.txt", "caf\xE9 old");
    EXPECT_EQ(FileRewriter(options).rewrite(at("f.txt"), plain(u"\u00E9 old", u"e new"), nullptr),
              FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "cafe new\r\n");

    options.ansiCharset.clear();
    PreparedRow caseless = plain(u"OLD", u"new");
    caseless.options.matchCase = false;
    write("f.txt", "Old");
    EXPECT_EQ(FileRewriter(options).rewrite(at("f.txt"), caseless, nullptr), FileOutcome::changed);
    EXPECT_EQ(read("f.txt"), "new\r\n");

    options.keepOldText = true;
    FileRewriter keepingOld(options);
    EXPECT_EQ(keepingOld.rewrite(at("f.txt"), plain(u"new", u"old"), nullptr), FileOutcome::changed);
    EXPECT_EQ(keepingOld.lastOldText(), u"new");
    EXPECT_EQ(keepingOld.lastNewText(), u"old");
}

}  // namespace
