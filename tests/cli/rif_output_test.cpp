// What rif writes for scripts and terminals: the --diff that patch and git apply take, the
// typed JSON Lines, colour, and -V.

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

using RifOutputTest = RifTest;

// A file, what rif is asked to do to it, and its name.
struct DiffCase {
    const char* what;
    std::string name;
    std::string bytes;
    std::vector<std::string> arguments;  // options, SEARCH and REPLACEMENT
};

// The diff of every case, applied to an untouched copy by patch -p1 and by git apply, gives
// the bytes the run writes; a dry run's diff gives the bytes the real run then writes.
TEST_F(RifOutputTest, DiffAppliedToAnUntouchedCopyGivesTheBytesTheRunWrites) {
    std::string longFile;
    for (int i = 1; i <= 30; ++i) longFile += (i == 2 || i == 9 || i == 27 ? "old " : "line ") + std::to_string(i) + "\n";
    const std::vector<DiffCase> cases = {
        {"LF", "lf.txt", "one\nold\nthree\n", {"old", "new"}},
        {"CR LF", "crlf.txt", "one\r\nold\r\nthree\r\n", {"old", "new"}},
        {"mixed line ends", "mixed.txt", "a\r\nold\nb\rc old\r\nend", {"old", "new"}},
        {"lone CR", "cr.txt", "one\rold\rthree\r", {"old", "new"}},
        {"UTF-8 mark", "mark.txt", "\xEF\xBB\xBF" "old\r\ncaf\xC3\xA9\r\n", {"old", "n\xC3\xA9w"}},
        {"Latin-1", "latin.txt", "caf\xE9 old\n\xE9t\xE9\n", {"--codepage", "ISO-8859-1", "old", "n\xC3\xA9w"}},
        {"no final line end", "last.txt", "x\nold", {"old", "new"}},
        {"ends with an empty line", "empty-line.txt", "x\nold\n\n", {"old", "new"}},
        {"adds lines", "adds.txt", "a\nold\nb\n", {"old", "new\nmore\nlines"}},
        {"removes lines", "removes.txt", "a\nold 1\nb\nold 2\nc", {"-e", "--empty-lines", "old \\d", ""}},
        {"every line to CR LF", "to-crlf.txt", "a\nold\nb", {"--crlf", "old", "new"}},
        {"emptied", "emptied.txt", "old", {"old", ""}},
        {"regular expression", "regex.txt", "k\nold1 old22\r\n", {"-e", "old(\\d+)", "<\\1>"}},
        {"hunks apart and together", "long.txt", longFile, {"old", "new"}},
        {"a space in its name", "with space.txt", "old\n", {"old", "new"}},
    };
    const bool haveGit = shell("git --version >/dev/null 2>&1") == 0;
    if (!haveGit) std::cerr << "git is missing: only patch applies the diffs\n";
    for (const DiffCase& c : cases) {
        for (const bool dryRun : {false, true}) {
            const std::string label = std::string(c.what) + (dryRun ? ", dry run" : "");
            fs::remove_all(folder_ / "site");
            fs::remove_all(folder_ / "untouched");
            write("site/" + c.name, c.bytes);
            write("untouched/site/" + c.name, c.bytes);
            std::vector<std::string> arguments = {"--diff"};
            if (dryRun) arguments.push_back("--dry-run");
            arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
            arguments.push_back("site");
            const Result diff = rif(arguments);
            ASSERT_EQ(diff.status, 0) << label << "\n" << diff.err;
            EXPECT_NE(diff.out.find("--- a/site/" + c.name), std::string::npos) << label << "\n" << diff.out;
            if (dryRun) {
                EXPECT_EQ(read("site/" + c.name), c.bytes) << label;
                std::vector<std::string> real(c.arguments.begin(), c.arguments.end());
                real.insert(real.begin(), "-q");
                real.push_back("site");
                ASSERT_EQ(rif(real).status, 0) << label;
            }
            const std::string written = read("site/" + c.name);
            ASSERT_NE(written, c.bytes) << label;
            write("change.diff", diff.out);
            for (const std::string tool : {"patch", "git"}) {
                if (tool == "git" && !haveGit) continue;
                fs::remove_all(folder_ / "copy");
                fs::copy(folder_ / "untouched", folder_ / "copy", fs::copy_options::recursive);
                // No repository around the copy: git apply works on plain files there.
                const std::string command =
                    tool == "patch" ? "cd copy && patch -p1 -s --no-backup-if-mismatch <../change.diff"
                                    : "cd copy && GIT_CEILING_DIRECTORIES=" + quoted(folder_.string()) +
                                          " git apply ../change.diff";
                EXPECT_EQ(shell(command + " >../apply.log 2>&1"), 0) << label << ", " << tool << "\n"
                                                                     << read("apply.log") << diff.out;
                EXPECT_EQ(read("copy/site/" + c.name), written) << label << ", " << tool << "\n" << diff.out;
            }
        }
    }
}

// A UTF-16 file's change is shown in UTF-8 text, with a note that it is for reading.
TEST_F(RifOutputTest, Utf16ChangeIsShownAsUtf8TextWithANote) {
    const std::string utf16("\xFF\xFE" "o\0l\0d\0\r\0\n\0\xE9\0t\0\xE9\0\n\0", 20);
    write("site/u.txt", utf16);
    const Result r = rif({"--dry-run", "--diff", "old", "new", "site"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "# site/u.txt: UTF-16LE, shown as UTF-8 text: for reading, patch cannot apply this part\n"
              "--- a/site/u.txt\n"
              "+++ b/site/u.txt\n"
              "@@ -1,2 +1,2 @@\n"
              "-old\r\n"
              "+new\r\n"
              " \xC3\xA9t\xC3\xA9\n");
    EXPECT_EQ(read("site/u.txt"), utf16);
}

// The standard base64 alphabet, decoded.
std::string fromBase64(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    unsigned group = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=') break;
        const size_t value = alphabet.find(c);
        if (value == std::string::npos) return "(not base64: " + text + ")";
        group = group << 6 | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

// Every line of a --json output, parsed; each must be {"type": ..., "data": {...}}.
std::vector<nlohmann::json> typedLines(const std::string& out) {
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        nlohmann::json object = nlohmann::json::parse(line);
        EXPECT_TRUE(object.is_object() && object.size() == 2 && object["type"].is_string() &&
                    object["data"].is_object())
            << line;
        objects.push_back(std::move(object));
    }
    return objects;
}

// The lines about files, by the real name of their file (decoded from base64 where given so).
std::map<std::string, nlohmann::json> byName(const std::vector<nlohmann::json>& lines) {
    std::map<std::string, nlohmann::json> files;
    for (const nlohmann::json& line : lines) {
        if (!line["data"].contains("path")) continue;
        const nlohmann::json& path = line["data"]["path"];
        files[path.is_string() ? path.get<std::string>() : fromBase64(path.value("bytes", ""))] = line;
    }
    return files;
}

TEST_F(RifOutputTest, JsonLinesAreTypedAndGiveNamesThatAreNotUtf8AsBase64Bytes) {
    const std::string latinName = "caf\xE9 old.txt";  // not UTF-8
    write("site/a.txt", "old old");
    write("site/b.txt", std::string("old\0", 4));
    write("site/" + latinName, "old\n");
    write("site/c.txt", "none");
    fs::create_directories(at("bak"));

    const Result dry = rif({"--json", "--dry-run", "old", "new", "site"});
    EXPECT_EQ(dry.status, 3);
    const std::vector<nlohmann::json> dryLines = typedLines(dry.out);
    ASSERT_EQ(dryLines.size(), 4u) << dry.out;
    for (const auto& [name, line] : byName(dryLines)) {
        if (line["type"] == "change") {
            EXPECT_EQ(line["data"]["dry_run"], true) << dry.out;
        }
    }
    EXPECT_EQ(dryLines[3]["data"]["dry_run"], true);

    const Result r = rif({"--json", "-b", "bak", "old", "new", "site"});
    EXPECT_EQ(r.status, 3);
    const std::vector<nlohmann::json> lines = typedLines(r.out);
    ASSERT_EQ(lines.size(), 4u) << r.out;
    std::map<std::string, nlohmann::json> byPath = byName(lines);
    ASSERT_EQ(byPath.count("site/a.txt"), 1u) << r.out;
    EXPECT_EQ(byPath["site/a.txt"]["type"], "change");
    EXPECT_EQ(byPath["site/a.txt"]["data"]["replacements"], 2);
    EXPECT_EQ(byPath["site/a.txt"]["data"]["dry_run"], false);
    ASSERT_EQ(byPath.count("site/b.txt"), 1u) << r.out;
    EXPECT_EQ(byPath["site/b.txt"]["type"], "error");
    EXPECT_FALSE(byPath["site/b.txt"]["data"]["error"].get<std::string>().empty());
    ASSERT_EQ(byPath.count("site/" + latinName), 1u) << r.out;
    EXPECT_EQ(byPath["site/" + latinName]["type"], "change");
    EXPECT_TRUE(byPath["site/" + latinName]["data"]["path"].is_object()) << r.out;
    EXPECT_EQ(read("site/" + latinName), "new\n");
    EXPECT_EQ(lines[3]["type"], "summary");
    EXPECT_EQ(lines[3]["data"], nlohmann::json({{"changed", 2}, {"failed", 1}, {"searched", 4}, {"dry_run", false}}));

    // The undo says the same way what it restored and what it left alone (by the absolute
    // paths its journal holds).
    write("site/a.txt", "edited");
    const Result undo = rif({"--json", "--undo", "bak"});
    EXPECT_EQ(undo.status, 3);
    const std::vector<nlohmann::json> undone = typedLines(undo.out);
    ASSERT_EQ(undone.size(), 3u) << undo.out;
    std::map<std::string, nlohmann::json> undoneByPath = byName(undone);
    ASSERT_EQ(undoneByPath.count(at("site/" + latinName)), 1u) << undo.out;
    EXPECT_EQ(undoneByPath[at("site/" + latinName)]["type"], "restored");
    EXPECT_TRUE(undoneByPath[at("site/" + latinName)]["data"]["path"].is_object()) << undo.out;
    ASSERT_EQ(undoneByPath.count(at("site/a.txt")), 1u) << undo.out;
    EXPECT_EQ(undoneByPath[at("site/a.txt")]["type"], "error");
    EXPECT_NE(undoneByPath[at("site/a.txt")]["data"]["error"].get<std::string>().find("edited after the run"),
              std::string::npos);
    EXPECT_EQ(undone[2]["type"], "summary");
    EXPECT_EQ(undone[2]["data"], nlohmann::json({{"restored", 1}, {"left_alone", 1}}));
    EXPECT_EQ(read("site/" + latinName), "old\n");
}

// Runs rif in the temporary folder on a terminal (a pseudo-terminal for its standard
// output and error), with NO_COLOR set to noColour unless that is null; what it wrote there.
std::string onTerminal(const fs::path& folder, const std::vector<std::string>& arguments, const char* noColour) {
    int master = -1;
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    if (child < 0) return "(no pseudo-terminal)";
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        if (noColour != nullptr) setenv("NO_COLOR", noColour, 1);
        else unsetenv("NO_COLOR");
        std::vector<char*> argv = {const_cast<char*>(RIF_PROGRAM)};
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(RIF_PROGRAM, argv.data());
        _exit(127);
    }
    std::string out;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) out.append(buffer, static_cast<size_t>(got));
        else if (got < 0 && errno == EINTR) continue;
        else break;  // EIO once the child has closed the terminal
    }
    ::close(master);
    int status = 0;
    waitpid(child, &status, 0);
    return out;
}

TEST_F(RifOutputTest, ColourOnATerminalOrWhenAskedAndNeverWhenRefused) {
    const auto makeSite = [&] {
        write("site/a.txt", "keep\nold\n");
        write("site/b.txt", std::string("old\0", 4));  // fails: an error line
    };
    makeSite();
    const Result plain = rif({"--color=always", "--dry-run", "old", "new", "site"});
    EXPECT_NE(plain.out.find("\033[35msite/a.txt\033[0m: 1\n"), std::string::npos) << plain.out;
    EXPECT_NE(plain.err.find("site/b.txt: \033[1;31merror\033[0m: "), std::string::npos) << plain.err;
    const Result diff = rif({"--color", "always", "--dry-run", "--diff", "old", "new", "site"});
    EXPECT_NE(diff.out.find("\033[35m--- a/site/a.txt\033[0m\n\033[35m+++ b/site/a.txt\033[0m\n"
                            "\033[36m@@ -1,2 +1,2 @@\033[0m\n keep\n\033[31m-old\033[0m\n\033[32m+new\033[0m\n"),
              std::string::npos)
        << diff.out;

    for (const char* when : {"never", "auto"}) {
        const Result r = rif({std::string("--color=") + when, "--dry-run", "--diff", "old", "new", "site"});
        EXPECT_EQ(r.out.find('\033'), std::string::npos) << when << "\n" << r.out;  // not a terminal
        EXPECT_EQ(r.err.find('\033'), std::string::npos) << when << "\n" << r.err;
        EXPECT_NE(r.out.find("-old\n+new\n"), std::string::npos) << when << "\n" << r.out;
    }
    // On a terminal, auto colours unless NO_COLOR is set (to anything but nothing); never
    // does not colour there either.
    const std::string terminal = onTerminal(folder_, {"--dry-run", "old", "new", "site"}, nullptr);
    EXPECT_NE(terminal.find("\033[35msite/a.txt\033[0m: 1"), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("\033[1;31merror\033[0m"), std::string::npos) << terminal;
    const std::string emptyNoColour = onTerminal(folder_, {"--dry-run", "old", "new", "site"}, "");
    EXPECT_NE(emptyNoColour.find("\033[35msite/a.txt"), std::string::npos) << emptyNoColour;
    for (const std::string& refused : {onTerminal(folder_, {"--dry-run", "old", "new", "site"}, "1"),
                                       onTerminal(folder_, {"--color=never", "--dry-run", "old", "new", "site"},
                                                  nullptr)}) {
        EXPECT_NE(refused.find("site/a.txt: 1"), std::string::npos) << refused;
        EXPECT_EQ(refused.find('\033'), std::string::npos) << refused;
    }
}

TEST_F(RifOutputTest, ShortVStandsForVersion) {
    const Result shortForm = rif({"-V"});
    const Result longForm = rif({"--version"});
    EXPECT_EQ(shortForm.status, 0);
    EXPECT_EQ(shortForm.out, "rif " RIF_VERSION_TEXT "\n");
    EXPECT_EQ(shortForm.out, longForm.out);
}

}  // namespace
