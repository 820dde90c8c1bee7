// Behaviour of the settings-file service, checked on real files down to their bytes.

#include "ini/settings_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

const std::string mark = "\xEF\xBB\xBF\r\n";

class SettingsFileTest : public testing_support::TemporaryFolderTest {
protected:
    SettingsFileTest() : TemporaryFolderTest("settings-file") {}

    void TearDown() override {
        ini::close();
        TemporaryFolderTest::TearDown();
    }

    std::string writeFile(const std::string& name, const std::string& bytes) const {
        const std::string path = at(name);
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        return path;
    }

    static std::string readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Puts the file's modification time far in the past, so that any rewrite shows.
    static void ageFile(const std::string& path) {
        const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    static timespec modificationTime(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0);
        return info.st_mtim;
    }

    // The keys and values of the selected group, as the scan reports them.
    static std::vector<std::pair<Text, Text>> scanGroup() {
        std::vector<std::pair<Text, Text>> keys;
        if (!ini::beginKeyScan()) return keys;
        while (ini::nextKey()) keys.emplace_back(ini::scannedKey(), ini::scannedValue());
        return keys;
    }
};

class SettingsFileReadTest : public SettingsFileTest {};
class SettingsFileWriteTest : public SettingsFileTest {};
class SettingsFileAccessTest : public SettingsFileTest {};
class SettingsFileScanTest : public SettingsFileTest {};

using Keys = std::vector<std::pair<Text, Text>>;

// ---------------------------------------------------------------------------------------
// Reading: line kinds, encodings and matching.

TEST_F(SettingsFileReadTest, LatinByteWithoutMarkReadsAsItsCodePointAndSurvivesAsUtf8) {
    const std::string path = writeFile("latin.ini", "[G]\r\nname = caf\xE9\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("name"), u"caf\u00E9");
    ini::setInt("n", 1);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nname = caf\xC3\xA9\r\nn = 1\r\n");
}

TEST_F(SettingsFileReadTest, TextAfterMarkIsUtf8AndShortFilesAreLatin) {
    const std::string path = writeFile("utf8.ini", "\xEF\xBB\xBF[G]\r\nk = \xC3\xA9\xF0\x9F\x98\x80\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k"), u"\u00E9\U0001F600");
    ini::close();

    // Two bytes are too short to carry the mark: each byte is a character of its own.
    const std::string shortPath = writeFile("short.ini", "\xC3\xA9");
    ASSERT_TRUE(ini::open(shortPath));
    EXPECT_EQ(scanGroup(), (Keys{{u"\u00C3\u00A9", u""}}));
}

TEST_F(SettingsFileReadTest, InvalidUtf8BytesAreKeptAsTheyAre) {
    const std::string path = writeFile("bad.ini", "\xEF\xBB\xBF[G]\r\nk = a\xFF" "b\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k"), u"a\xDCFF" "b");
    ini::setText("copy", ini::getText("k"));
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nk = a\xFF" "b\r\ncopy = a\xFF" "b\r\n");
}

TEST_F(SettingsFileReadTest, PaddedValueReadsTrimmedButIsWrittenBackUnchanged) {
    const std::string path = writeFile("pad.ini", "[G]\r\nk=  padded  \r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k"), u"padded");
    EXPECT_EQ(scanGroup(), (Keys{{u"k", u"padded"}}));
    ini::setText("other", u"1");
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nk = padded  \r\nother = 1\r\n");
}

TEST_F(SettingsFileReadTest, LineWithoutEqualsIsKeyWithEmptyValue) {
    const std::string path = writeFile("flag.ini", "[G]\r\nflag  \r\nk = v\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("flag", u"default"), u"");
    EXPECT_EQ(ini::getInt("flag", 9), 0);
    EXPECT_EQ(ini::getText("k"), u"v");
    EXPECT_EQ(scanGroup(), (Keys{{u"flag", u""}, {u"k", u"v"}}));
}

TEST_F(SettingsFileReadTest, LinesSplitAtAnyRunOfCarriageReturnsAndLineFeeds) {
    const std::string path = writeFile("ends.ini", "[G]\ra = 1\n\nb = 2\r\r\n\n\rc = 3");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(scanGroup(), (Keys{{u"a", u"1"}, {u"b", u"2"}, {u"c", u"3"}}));
}

TEST_F(SettingsFileReadTest, SyntaxOfKeysHeadersAndComments) {
    const std::string path = writeFile("syntax.ini",
                                       "#x = 1\r\n"
                                       "a = b = c\r\n"
                                       "semi = ;not a comment\r\n"
                                       "  \t indented\t= \t value\r\n"
                                       "= nameless\r\n"
                                       "  ; comment = not a key\r\n"
                                       "[Closed] ignored = text\r\n"
                                       "one = 1\r\n"
                                       "[Unclosed\r\n"
                                       "two = 2\r\n");
    ASSERT_TRUE(ini::open(path));
    EXPECT_EQ(ini::getInt("#x", 0), 1);
    EXPECT_EQ(ini::getText("a"), u"b = c");
    EXPECT_EQ(ini::getText("semi"), u";not a comment");
    EXPECT_EQ(ini::getText("indented"), u"value");
    EXPECT_EQ(ini::getText(""), u"nameless");
    EXPECT_EQ(ini::getText("; comment", u"absent"), u"absent");
    EXPECT_EQ(ini::getText("comment", u"absent"), u"absent");
    EXPECT_EQ(ini::getText("one", u"absent"), u"absent");
    ASSERT_TRUE(ini::useGroup("Closed"));
    EXPECT_EQ(ini::getInt("one", 0), 1);
    EXPECT_EQ(ini::getInt("ignored", -1), -1);
    ASSERT_TRUE(ini::useGroup("Unclosed"));
    EXPECT_EQ(ini::getInt("two", 0), 2);
}

TEST_F(SettingsFileReadTest, NamesMatchIgnoringAsciiCaseOnly) {
    const std::string path = writeFile("case.ini",
                                       "\xEF\xBB\xBF[window]\r\n"
                                       "\xC3\xA9t\xC3\xA9 = summer\r\n"
                                       "[ WINDOW ]\r\n"
                                       "spaced = 1\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("WINDOW"));
    EXPECT_EQ(ini::getText("\xC3\xA9T\xC3\xA9"), u"summer");          // 't' matches 'T'
    EXPECT_EQ(ini::getText("\xC3\x89T\xC3\x89", u"none"), u"none");   // 'é' is not 'É'
    EXPECT_FALSE(ini::useGroup("WINDOW "));
    ASSERT_TRUE(ini::useGroup(" window "));
    EXPECT_EQ(ini::getInt("spaced", 0), 1);
}

TEST_F(SettingsFileReadTest, GetIntTakesDigitsUpToFirstOtherCharacter) {
    const std::string path = writeFile("ints.ini",
                                       "px = 12px\r\n"
                                       "negative = -34 and more\r\n"
                                       "plus = +5\r\n"
                                       "word = px12\r\n"
                                       "sign = -\r\n"
                                       "empty =\r\n"
                                       "big = 99999999999\r\n"
                                       "small = -99999999999\r\n"
                                       "lowest = -2147483648\r\n");
    ASSERT_TRUE(ini::open(path));
    EXPECT_EQ(ini::getInt("px", -1), 12);
    EXPECT_EQ(ini::getInt("negative", -1), -34);
    EXPECT_EQ(ini::getInt("plus", -1), 5);
    EXPECT_EQ(ini::getInt("word", -1), 0);
    EXPECT_EQ(ini::getInt("sign", -1), 0);
    EXPECT_EQ(ini::getInt("empty", -1), 0);
    EXPECT_EQ(ini::getInt("missing", -1), -1);
    EXPECT_EQ(ini::getInt("big", 0), INT32_MAX);
    EXPECT_EQ(ini::getInt("small", 0), INT32_MIN);
    EXPECT_EQ(ini::getInt("lowest", 0), INT32_MIN);
    ini::setText("padded", u" \t-8 ");
    EXPECT_EQ(ini::getInt("padded", 0), -8);
}

TEST_F(SettingsFileReadTest, OnlyFirstOfTwoEqualGroupsIsReadAndWritten) {
    const std::string path = writeFile("twice.ini",
                                       "[WINDOW]\r\nx = 1\r\n[OTHER]\r\ny = 0\r\n[WINDOW]\r\nx = 2\r\ny = 3\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("WINDOW"));
    EXPECT_EQ(ini::getInt("x", 0), 1);
    EXPECT_EQ(ini::getInt("y", -1), -1);
    ini::setInt("x", 5);
    ini::setInt("y", 4);
    ini::close();
    EXPECT_EQ(readFile(path),
              mark + "[WINDOW]\r\nx = 5\r\ny = 4\r\n[OTHER]\r\ny = 0\r\n[WINDOW]\r\nx = 2\r\ny = 3\r\n");
}

TEST_F(SettingsFileReadTest, OtherThreadHasNoOpenFile) {
    const std::string path = writeFile("thread.ini", "k = main\r\n");
    ASSERT_TRUE(ini::open(path));
    Text seen;
    bool scanned = true;
    std::thread other([&] {
        seen = ini::getText("k", u"default");
        scanned = ini::beginKeyScan();
        ini::setText("k", u"other");
        ini::close();
    });
    other.join();
    EXPECT_EQ(seen, u"default");
    EXPECT_FALSE(scanned);
    EXPECT_EQ(ini::getText("k"), u"main");
    ini::close();
    EXPECT_EQ(readFile(path), "k = main\r\n");
}

// ---------------------------------------------------------------------------------------
// Writing: placement of new entries and the bytes written.

TEST_F(SettingsFileWriteTest, NewFileHoldsMarkEmptyLineGroupAndKey) {
    const std::string path = at("new.ini");
    EXPECT_FALSE(ini::open(path));
    EXPECT_FALSE(ini::useGroup("G"));
    ini::setText("k", u"v");
    EXPECT_FALSE(fs::exists(path));
    ini::close();
    EXPECT_EQ(readFile(path), "\xEF\xBB\xBF\r\n[G]\r\nk = v\r\n");
}

TEST_F(SettingsFileWriteTest, AbsentFileIsNotCreatedWhenNothingWasWritten) {
    const std::string path = at("absent.ini");
    EXPECT_FALSE(ini::open(path));
    EXPECT_TRUE(ini::useGroup(""));
    EXPECT_EQ(ini::getText("k", u"default"), u"default");
    EXPECT_EQ(ini::getInt("n", 42), 42);
    ini::eraseKey("k");
    ini::close();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFileWriteTest, AbsentFileCollectsWritesUntilClose) {
    const std::string path = at("collect.ini");
    EXPECT_FALSE(ini::open(path));
    ini::setInt("top", 1);
    EXPECT_EQ(ini::getInt("top", 0), 1);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "top = 1\r\n");
}

TEST_F(SettingsFileWriteTest, ZeroByteFileIsWrittenWithoutMarkOrEmptyLine) {
    const std::string path = writeFile("zero.ini", "");
    ASSERT_TRUE(ini::open(path));
    EXPECT_FALSE(ini::useGroup("G"));
    ini::setText("k", u"v");
    ini::close();
    EXPECT_EQ(readFile(path), "[G]\r\nk = v\r\n");
}

TEST_F(SettingsFileWriteTest, ZeroByteFileGetsTheMarkWhenTextGoesBeyondAscii) {
    const std::string path = writeFile("zero-ru.ini", "");
    ASSERT_TRUE(ini::open(path));
    EXPECT_FALSE(ini::useGroup("G"));
    ini::setText("k", u"\u041f\u0440\u0438 \u00e9");
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nk = \xD0\x9F\xD1\x80\xD0\xB8 \xC3\xA9\r\n");

    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k"), u"\u041f\u0440\u0438 \u00e9");
    ini::close();
}

TEST_F(SettingsFileWriteTest, CommentsGetOneSpaceAndLoseTheirIndentation) {
    const std::string path = writeFile("comments.ini",
                                       "\t\t;indented\r\n;no space\r\n;  two spaces\r\n;\r\n"
                                       "[G]  after\r\n\r\n  k=1\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    ini::setInt("x", 2);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "; indented\r\n; no space\r\n;  two spaces\r\n; \r\n"
                                     "[G]\r\nk = 1\r\nx = 2\r\n");
}

TEST_F(SettingsFileWriteTest, KeyWrittenInOtherCaseReplacesLineInPlace) {
    const std::string path = writeFile("left.ini", "[W]\r\ntop = 1\r\nleft = 5\r\nright = 9\r\n[X]\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("w"));
    ini::setInt("Left", 7);
    EXPECT_EQ(ini::getInt("LEFT", 0), 7);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[W]\r\ntop = 1\r\nLeft = 7\r\nright = 9\r\n[X]\r\n");
}

TEST_F(SettingsFileWriteTest, KeyForMissingGroupGoesToNewGroupAtEnd) {
    const std::string path = writeFile("missing.ini", "k = top\r\n[A]\r\nk = a\r\n[B]\r\nb = 2\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("A"));
    EXPECT_FALSE(ini::useGroup("C"));
    EXPECT_EQ(ini::getText("k", u"default"), u"default");
    EXPECT_EQ(ini::getInt("b", -1), -1);
    EXPECT_FALSE(ini::beginKeyScan());
    ini::eraseKey("k");
    ini::setText("k", u"v");
    EXPECT_EQ(ini::getText("k"), u"v");
    EXPECT_TRUE(ini::beginKeyScan());
    ini::close();
    EXPECT_EQ(readFile(path), mark + "k = top\r\n[A]\r\nk = a\r\n[B]\r\nb = 2\r\n[C]\r\nk = v\r\n");
}

TEST_F(SettingsFileWriteTest, NewKeyGoesAfterLastEntryOfItsGroup) {
    const std::string path = writeFile("order.ini", "[A]\r\na = 1\r\n; about a\r\n[B]\r\nb = 2\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("A"));
    ini::setText("a2", u"x");
    ASSERT_TRUE(ini::useGroup("B"));
    ini::setText("b2", u"y");
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[A]\r\na = 1\r\n; about a\r\na2 = x\r\n[B]\r\nb = 2\r\nb2 = y\r\n");
}

TEST_F(SettingsFileWriteTest, TopSectionKeyGoesBeforeFirstHeader) {
    const std::string path = writeFile("top.ini", "first = 1\r\n[G]\r\ng = 1\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup(""));
    ini::setInt("second", 2);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "first = 1\r\nsecond = 2\r\n[G]\r\ng = 1\r\n");

    const std::string headed = writeFile("headed.ini", "[G]\r\ng = 1\r\n");
    ASSERT_TRUE(ini::open(headed));
    ini::setInt("front", 0);
    ini::close();
    EXPECT_EQ(readFile(headed), mark + "front = 0\r\n[G]\r\ng = 1\r\n");
}

TEST_F(SettingsFileWriteTest, EraseRemovesFirstOccurrenceAndRevealsTheSecond) {
    const std::string path = writeFile("erase.ini", "[G]\r\nk = 1\r\nother = 0\r\nK = 2\r\n[H]\r\nk = 3\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    ini::eraseKey("k");
    EXPECT_EQ(ini::getInt("k", 0), 2);
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nother = 0\r\nK = 2\r\n[H]\r\nk = 3\r\n");
}

TEST_F(SettingsFileWriteTest, ValuesAreStoredVerbatimAndIntegersInDecimal) {
    const std::string path = at("verbatim.ini");
    EXPECT_FALSE(ini::open(path));
    ini::setText("text", u"x=y ; [z] \u00E9\U0001F600");
    ini::setInt("min", INT32_MIN);
    ini::setInt("neg", -5);
    ini::setText("empty", u"");
    ini::close();
    EXPECT_EQ(readFile(path), mark +
                                  "text = x=y ; [z] \xC3\xA9\xF0\x9F\x98\x80\r\n"
                                  "min = -2147483648\r\nneg = -5\r\nempty = \r\n");
    ASSERT_TRUE(ini::open(path));
    EXPECT_EQ(ini::getText("text"), u"x=y ; [z] \u00E9\U0001F600");
    EXPECT_EQ(ini::getInt("min", 0), INT32_MIN);
}

TEST_F(SettingsFileWriteTest, WritesThatCouldNotBeReadBackAreRefused) {
    const std::string path = writeFile("refuse.ini", "[G]\r\nk = old\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    ini::setText("k", u"two\r\n[lines]");
    ini::setText("k", u"lone\rbreak");
    ini::setText("a=b", u"1");
    ini::setText("new\nkey", u"1");
    EXPECT_EQ(ini::getText("k"), u"old");
    EXPECT_FALSE(ini::useGroup("bad]name"));
    ini::setText("x", u"1");
    ini::close();
    EXPECT_EQ(readFile(path), "[G]\r\nk = old\r\n");
}

TEST_F(SettingsFileWriteTest, OpeningAnotherFileWritesBackTheFirst) {
    const std::string first = writeFile("first.ini", "a = 1\r\n");
    const std::string second = writeFile("second.ini", "b = 2\r\n");
    ASSERT_TRUE(ini::open(first));
    ini::setInt("a", 10);
    ASSERT_TRUE(ini::open(second));
    EXPECT_EQ(readFile(first), mark + "a = 10\r\n");
    EXPECT_EQ(ini::getInt("a", -1), -1);
    EXPECT_EQ(ini::getInt("b", -1), 2);
}

TEST_F(SettingsFileWriteTest, RewriteThatShrinksTheFileCutsItsTail) {
    const std::string path = writeFile("shrink.ini", "\xEF\xBB\xBF\r\nlong = " + std::string(200, 'x') + "\r\n");
    ASSERT_TRUE(ini::open(path));
    ini::setText("long", u"y");
    ini::close();
    EXPECT_EQ(readFile(path), mark + "long = y\r\n");
}

// On a full disk the file cannot grow: its old contents must stay rather than be cut
// short by a rewrite that stopped half-way.
TEST_F(SettingsFileWriteTest, RewriteThatCannotGrowTheFileKeepsItsOldBytes) {
    const std::string old = mark + "[G]\r\nfirst = 1\r\nlast = 2\r\n";
    const std::string path = writeFile("grow.ini", old);
    ASSERT_TRUE(ini::open(path));
    ini::useGroup("G");
    ini::setText("first", Text(200, u'x'));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 100;  // more than the old file, less than the new one
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    ini::close();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(readFile(path), old);
}

TEST_F(SettingsFileWriteTest, CreateEmptiesTheFileAtOnceAndStartsWithMark) {
    const std::string path = writeFile("create.ini", "[G]\r\nk = old\r\n");
    ASSERT_TRUE(ini::create(path));
    EXPECT_EQ(readFile(path), "");
    EXPECT_FALSE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k", u"default"), u"default");
    ini::setText("k", u"new");
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\nk = new\r\n");

    ASSERT_TRUE(ini::create(path));
    ini::close();
    EXPECT_EQ(readFile(path), "");
}

TEST_F(SettingsFileWriteTest, FailedCreateIgnoresEverything) {
    const std::string path = at("no/such/folder/file.ini");
    EXPECT_FALSE(ini::create(path));
    ini::setText("k", u"v");
    EXPECT_EQ(ini::getText("k", u"default"), u"default");
    EXPECT_FALSE(ini::beginKeyScan());
    ini::close();
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(SettingsFileWriteTest, ServiceWithoutOpenFileReturnsDefaults) {
    ini::close();
    EXPECT_FALSE(ini::useGroup("G"));
    EXPECT_EQ(ini::getInt("k", 3), 3);
    EXPECT_EQ(ini::getText("k", u"d"), u"d");
    ini::setText("k", u"v");
    ini::eraseKey("k");
    EXPECT_EQ(ini::getText("k", u"d"), u"d");
    EXPECT_FALSE(ini::beginKeyScan());
    EXPECT_FALSE(ini::nextKey());
    EXPECT_EQ(ini::scannedKey(), u"");
    EXPECT_EQ(ini::scannedValue(), u"");
}

// ---------------------------------------------------------------------------------------
// Access: files only read, read-only, locked or unreadable.

TEST_F(SettingsFileAccessTest, FileOnlyReadKeepsItsBytesAndModificationTime) {
    const std::string bytes = "\n\n  [G]  trailing\r\n\tk=v \r\r\n;c\n\n#x\r\nlast";
    const std::string path = writeFile("read.ini", bytes);
    ageFile(path);
    const timespec before = modificationTime(path);
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getText("k"), u"v");
    EXPECT_EQ(scanGroup(), (Keys{{u"k", u"v"}, {u"#x", u""}, {u"last", u""}}));
    EXPECT_FALSE(ini::useGroup("missing"));
    ini::eraseKey("k");  // nothing can be removed while the group is pending
    ASSERT_TRUE(ini::useGroup("G"));
    ini::eraseKey("not there");
    ini::close();
    EXPECT_EQ(readFile(path), bytes);
    const timespec after = modificationTime(path);
    EXPECT_EQ(after.tv_sec, before.tv_sec);
    EXPECT_EQ(after.tv_nsec, before.tv_nsec);
}

TEST_F(SettingsFileAccessTest, ReadOnlyFileIsReadAndItsChangesDropped) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: permission bits do not stop writes; "
                        "LockedFileIsReadAndItsChangesDropped covers the read-only session";
    }
    const std::string path = writeFile("readonly.ini", "[G]\r\nk = 1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getInt("k", 0), 1);
    ini::setInt("k", 2);
    ini::setInt("new", 3);
    ini::close();
    EXPECT_EQ(readFile(path), "[G]\r\nk = 1\r\n");
}

TEST_F(SettingsFileAccessTest, LockedFileIsReadAndItsChangesDropped) {
    const std::string path = writeFile("locked.ini", "[G]\r\nk = 1\r\n");
    const int holder = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    if (::flock(holder, LOCK_EX | LOCK_NB) != 0) {
        ::close(holder);
        GTEST_SKIP() << "the temporary folder's file system does not support flock";
    }
    EXPECT_TRUE(ini::open(path));
    EXPECT_TRUE(ini::useGroup("G"));
    EXPECT_EQ(ini::getInt("k", 0), 1);
    ini::setInt("k", 2);
    ini::close();
    EXPECT_EQ(readFile(path), "[G]\r\nk = 1\r\n");

    // Nor may the file be emptied while the other holder keeps it.
    EXPECT_FALSE(ini::create(path));
    ini::setInt("k", 3);
    ini::close();
    ::close(holder);
    EXPECT_EQ(readFile(path), "[G]\r\nk = 1\r\n");
}

TEST_F(SettingsFileAccessTest, FileIsLockedFromOpenToClose) {
    const std::string path = writeFile("held.ini", "k = 1\r\n");
    const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    if (::flock(probe, LOCK_EX | LOCK_NB) != 0) {
        ::close(probe);
        GTEST_SKIP() << "the temporary folder's file system does not support flock";
    }
    ::flock(probe, LOCK_UN);
    ASSERT_TRUE(ini::open(path));
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(errno, EWOULDBLOCK);
    ini::close();
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0);
    ::close(probe);
}

TEST_F(SettingsFileAccessTest, PathThatIsNoRegularFileIsNeverReplaced) {
    const std::string path = at("folder.ini");
    fs::create_directory(path);
    EXPECT_FALSE(ini::open(path));
    ini::setText("k", u"v");
    ini::close();
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_FALSE(ini::create(path));
    ini::close();
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(SettingsFileAccessTest, UnreadableFileIsNotTruncatedAtClose) {
    if (::geteuid() == 0) GTEST_SKIP() << "running as root: permission bits do not stop reads";
    const std::string path = writeFile("secret.ini", "keep = me\r\n");
    fs::permissions(path, fs::perms::owner_write);
    EXPECT_FALSE(ini::open(path));
    ini::setText("k", u"v");
    ini::close();
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(path), "keep = me\r\n");
}

// ---------------------------------------------------------------------------------------
// Enumeration of a group's keys.

TEST_F(SettingsFileScanTest, ScanListsKeysInFileOrderSkippingCommentsUntilNextGroup) {
    const std::string path = writeFile("scan.ini",
                                       "top = 0\r\n[A]\r\nx = 1\r\n; note\r\ny =  two  \r\n[B]\r\nz = 3\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("A"));
    EXPECT_EQ(scanGroup(), (Keys{{u"x", u"1"}, {u"y", u"two"}}));
    EXPECT_FALSE(ini::nextKey());
    ASSERT_TRUE(ini::useGroup(""));
    EXPECT_EQ(scanGroup(), (Keys{{u"top", u"0"}}));
    ASSERT_TRUE(ini::useGroup("b"));
    EXPECT_EQ(scanGroup(), (Keys{{u"z", u"3"}}));
}

TEST_F(SettingsFileScanTest, ScanOfEmptyGroupFindsNothing) {
    const std::string path = writeFile("empty.ini", "[A]\r\n; only a comment\r\n[B]\r\nb = 1\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("A"));
    ASSERT_TRUE(ini::beginKeyScan());
    EXPECT_FALSE(ini::nextKey());
    EXPECT_EQ(ini::scannedKey(), u"");
}

TEST_F(SettingsFileScanTest, ScanSurvivesErasingTheCurrentKey) {
    const std::string path = writeFile("erasescan.ini", "[G]\r\na = 1\r\nb = 2\r\nc = 3\r\n");
    ASSERT_TRUE(ini::open(path));
    ASSERT_TRUE(ini::useGroup("G"));
    ASSERT_TRUE(ini::beginKeyScan());
    std::vector<Text> seen;
    while (ini::nextKey()) {
        seen.push_back(ini::scannedKey());
        ini::eraseKey("b");
    }
    EXPECT_EQ(seen, (std::vector<Text>{u"a", u"c"}));
    ini::close();
    EXPECT_EQ(readFile(path), mark + "[G]\r\na = 1\r\nc = 3\r\n");
}

}  // namespace
