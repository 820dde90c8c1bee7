// rif end to end on files with ACLs and extended attributes: a changed file, and a file
// that --undo puts back, keep them and their permission bits, and gain nothing from the
// default ACL of their folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "rif_fixture.h"

namespace {

using namespace rif_test;

// What a shell command prints; its exit status in status.
std::string shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    const int raw = pclose(pipe);
    if (status != nullptr) *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return out;
}

bool setAcl(const std::string& arguments, const std::string& path) {
    int status = -1;
    shell("setfacl " + arguments + " " + quoted(path), &status);
    return status == 0;
}

// getfacl's numeric listing of a file without the line naming it.
std::string aclOf(const std::string& path) {
    std::string listing = shell("getfacl -n " + quoted(path));
    if (listing.rfind("# file:", 0) == 0) listing.erase(0, listing.find('\n') + 1);
    return listing;
}

// Why the temporary folder cannot hold ACLs, or empty when it can; found out once.
const std::string& aclUnsupported() {
    static const std::string reason = [] {
        std::string file = (fs::temp_directory_path() / "acl-probe-XXXXXX").string();
        const int fd = mkstemp(file.data());
        if (fd < 0) return std::string("no temporary file");
        close(fd);
        const bool set = setAcl("-m u:nobody:r", file);
        fs::remove(file);
        return set ? std::string() : "setfacl is missing or " + fs::temp_directory_path().string() +
                                         " does not hold ACLs";
    }();
    return reason;
}

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

using RifAttributesTest = RifTest;

TEST_F(RifAttributesTest, ChangedFileKeepsItsAclAndMode) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("site/a.txt", "old\n");
    fs::permissions(at("site/a.txt"), fs::perms(0640));
    ASSERT_TRUE(setAcl("-m u:nobody:rw", at("site/a.txt")));
    const std::string acl = aclOf(at("site/a.txt"));
    const mode_t mode = modeOf(at("site/a.txt"));
    ASSERT_NE(acl.find("user:65534:rw-"), std::string::npos) << acl;

    EXPECT_EQ(rif({"-q", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "new\n");
    EXPECT_EQ(aclOf(at("site/a.txt")), acl);
    EXPECT_EQ(modeOf(at("site/a.txt")), mode);
}

TEST_F(RifAttributesTest, ChangedFileKeepsItsUserAttribute) {
    write("site/a.txt", "old\n");
    if (::setxattr(at("site/a.txt").c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << fs::temp_directory_path() << " does not hold user attributes: " << std::strerror(errno);
    EXPECT_EQ(rif({"-q", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "new\n");
    char value[16] = {};
    EXPECT_EQ(::getxattr(at("site/a.txt").c_str(), "user.note", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
}

TEST_F(RifAttributesTest, FolderDefaultAclMakesNoChangedFileWider) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("site/a.txt", "old\n");
    fs::permissions(at("site/a.txt"), fs::perms(0600));
    ASSERT_TRUE(setAcl("-d -m u:nobody:rwx", at("site")));
    ASSERT_EQ(::getxattr(at("site/a.txt").c_str(), "system.posix_acl_access", nullptr, 0), -1);

    EXPECT_EQ(rif({"-q", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "new\n");
    EXPECT_EQ(modeOf(at("site/a.txt")), 0600u);
    EXPECT_EQ(::getxattr(at("site/a.txt").c_str(), "system.posix_acl_access", nullptr, 0), -1);
    EXPECT_EQ(aclOf(at("site/a.txt")), "# owner: " + std::to_string(getuid()) + "\n# group: " +
                                           std::to_string(getgid()) + "\nuser::rw-\ngroup::---\nother::---\n\n");
}

TEST_F(RifAttributesTest, UndoPutsBackTheAclAndMode) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("site/a.txt", "old\n");
    fs::permissions(at("site/a.txt"), fs::perms(0640));
    ASSERT_TRUE(setAcl("-m u:nobody:rw,g:daemon:r", at("site/a.txt")));
    const std::string acl = aclOf(at("site/a.txt"));
    const mode_t mode = modeOf(at("site/a.txt"));
    fs::create_directories(at("bak"));

    EXPECT_EQ(rif({"-q", "-b", "bak", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "new\n");
    EXPECT_EQ(rif({"-q", "--undo", "bak"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "old\n");
    EXPECT_EQ(aclOf(at("site/a.txt")), acl);
    EXPECT_EQ(modeOf(at("site/a.txt")), mode);
}

}  // namespace
