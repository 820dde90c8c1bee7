// Large UTF-8 files are replaced on their bytes: every file here is rewritten both ways, on
// its bytes (byteLevelFrom 0) and through its text (byteLevelFrom beyond any size), and both
// must end alike: the same bytes, outcome and count, with line ends kept and without.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/file_rewrite.h"

namespace {

namespace fs = std::filesystem;

PreparedRow plain(const Text& search, const Text& replacement) {
    PreparedRow row;
    row.search = search;
    row.replacement = replacement;
    return row;
}

// What became of one file.
struct Result {
    FileOutcome outcome;
    std::string bytes;
    size_t replacements;
    bool operator==(const Result&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Result& result) {
    out << "outcome " << static_cast<int>(result.outcome) << ", " << result.replacements << " places, bytes";
    for (const unsigned char byte : result.bytes) out << ' ' << std::hex << static_cast<int>(byte) << std::dec;
    return out;
}

class ByteRewriteTest : public testing::Test {
protected:
    void SetUp() override {
        useUtf8Locale();
        std::string pattern = (fs::temp_directory_path() / "byte-rewrite-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string at(const std::string& name) const { return (folder_ / name).string(); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(at(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(at(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // The file with these bytes rewritten as one run of its own.
    Result rewrite(const std::string& bytes, const PreparedRow& row, RewriteOptions options, size_t byteLevelFrom) {
        write("f.txt", bytes);
        options.byteLevelFrom = byteLevelFrom;
        FileRewriter rewriter(options);
        const FileOutcome outcome = rewriter.rewrite(at("f.txt"), row, nullptr);
        return {outcome, read("f.txt"), rewriter.lastReplacements()};
    }

    fs::path folder_;
};

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
                const Result text = rewrite(c.bytes, c.row, options, SIZE_MAX);
                const Result bytes = rewrite(c.bytes, c.row, options, 0);
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
