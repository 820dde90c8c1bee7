// rif end to end on files with ACLs: a changed file, and a file that --undo puts back,
// keep their ACL and permission bits, and gain nothing from the default ACL of their
// folder.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <string>

#include "rif_fixture.h"
#include "tests/support/acl_tools.h"

namespace {

using namespace rif_test;
using namespace acl_tools;

using RifAttributesTest = RifTest;

TEST_F(RifAttributesTest, RunAndUndoKeepTheAclAndMode) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("site/a.txt", "old\n");
    fs::permissions(at("site/a.txt"), fs::perms(0640));
    ASSERT_TRUE(setAcl("-m u:nobody:rw,g:daemon:r", at("site/a.txt")));
    const std::string acl = aclOf(at("site/a.txt"));
    const mode_t mode = modeOf(at("site/a.txt"));
    ASSERT_NE(acl.find("user:65534:rw-"), std::string::npos) << acl;
    fs::create_directories(at("bak"));

    EXPECT_EQ(rif({"-q", "-b", "bak", "old", "new", "site"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "new\n");
    EXPECT_EQ(aclOf(at("site/a.txt")), acl);
    EXPECT_EQ(modeOf(at("site/a.txt")), mode);

    EXPECT_EQ(rif({"-q", "--undo", "bak"}).status, 0);
    EXPECT_EQ(read("site/a.txt"), "old\n");
    EXPECT_EQ(aclOf(at("site/a.txt")), acl);
    EXPECT_EQ(modeOf(at("site/a.txt")), mode);
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

}  // namespace
