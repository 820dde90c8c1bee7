#pragma once
// What the tests of ACLs and extended attributes need around the files they make: setfacl
// and getfacl run as processes, whether the temporary folder holds ACLs at all, and a
// file's permission bits.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/scratch_folder.h"

namespace acl_tools {

inline std::string quotedWord(const std::string& word) {
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// What a shell command prints (its errors dropped); its exit status in status.
inline std::string shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int raw = pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

// Runs setfacl with the arguments on path; false when it fails.
inline bool setAcl(const std::string& arguments, const std::string& path) {
    int status = -1;
    shell("setfacl " + arguments + " " + quotedWord(path), &status);
    return status == 0;
}

// getfacl's numeric listing of a file without the line naming it: owner, group, entries.
inline std::string aclOf(const std::string& path) {
    std::string listing = shell("getfacl -n " + quotedWord(path));
    if (listing.rfind("# file:", 0) == 0) listing.erase(0, listing.find('\n') + 1);
    return listing;
}

// Why the temporary folder cannot hold ACLs (setfacl missing or refused), or empty when it
// can; found out once.
inline const std::string& aclUnsupported() {
    static const std::string reason = [] {
        testing_support::ScratchFolder probe;
        if (!probe.make("acl-probe")) return std::string("no temporary folder can be made");
        const std::string file = (probe.path() / "probe").string();
        if (!std::ofstream(file)) return std::string("no temporary file can be made");
        const bool set = setAcl("-m u:nobody:r", file);
        return set ? std::string() : "setfacl is missing or " + probe.path().parent_path().string() + " does not hold ACLs";
    }();
    return reason;
}

inline mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

}  // namespace acl_tools
