#pragma once
// The fixture of rif's end-to-end tests: a temporary folder, files written and read in it
// (the shared temporary-folder fixture), and the built rif run there as a process.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/temporary_folder.h"

namespace rif_test {

namespace fs = std::filesystem;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string quoted(const std::string& word) {
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class RifTest : public testing_support::TemporaryFolderTest {
protected:
    RifTest() : TemporaryFolderTest("rif") {}

    static std::string slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    // Runs a shell command in the temporary folder; its exit status.
    int shell(const std::string& command) const {
        const int raw = std::system(("cd " + quoted(folder_.string()) + " && " + command).c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    // Runs rif with the arguments in the temporary folder.
    Result rif(const std::vector<std::string>& arguments) const {
        std::string command = "cd " + quoted(folder_.string()) + " && " + quoted(RIF_PROGRAM);
        for (const std::string& argument : arguments) command += " " + quoted(argument);
        const std::string out = at(".out"), err = at(".err");
        command += " >" + quoted(out) + " 2>" + quoted(err);
        Result result;
        const int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = slurp(out);
        result.err = slurp(err);
        fs::remove(out);
        fs::remove(err);
        return result;
    }
};

}  // namespace rif_test
