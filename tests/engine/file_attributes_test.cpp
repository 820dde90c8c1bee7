// A file that a run writes, or an undo puts back, is a new file renamed over the old one:
// these tests check that it keeps the old file's access ACL, its other extended attributes
// and its permission bits, and that a folder's default ACL gives it nothing more.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/backup.h"
#include "engine/file_rewrite.h"
#include "engine/fingerprint.h"
#include "tests/support/acl_tools.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

using namespace acl_tools;

bool hasAttribute(const std::string& path, const char* name) {
    return ::getxattr(path.c_str(), name, nullptr, 0) >= 0;
}

PreparedRow plain(const Text& search, const Text& replacement) {
    PreparedRow row;
    row.search = search;
    row.replacement = replacement;
    return row;
}

class FileAttributesTest : public testing_support::TemporaryFolderTest {
protected:
    void write(const std::string& name, const std::string& bytes, mode_t mode) const {
        TemporaryFolderTest::write(name, bytes);
        fs::permissions(at(name), fs::perms(mode));
    }
};

// Through either way a run writes: by the folder it keeps open, and by the path (a file
// reached through a symbolic link), and through the text as well as on the bytes.
TEST_F(FileAttributesTest, RewrittenFileKeepsItsAclAndMode) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("one.txt", "old one\n", 0640);
    write("two.txt", "old two\n", 0640);
    fs::create_symlink("two.txt", at("two-link.txt"));
    for (const char* name : {"one.txt", "two.txt"}) {
        ASSERT_TRUE(setAcl("-m u:nobody:rw", at(name)));
        const std::string acl = aclOf(at(name));
        const mode_t mode = modeOf(at(name));
        ASSERT_NE(acl.find("user:65534:rw-"), std::string::npos) << acl;
        for (const size_t byteLevelFrom : {size_t(0), size_t(1) << 30}) {
            RewriteOptions options;
            options.byteLevelFrom = byteLevelFrom;
            FileRewriter rewriter(options);
            const bool first = byteLevelFrom == 0;
            const std::string reached = name == std::string("two.txt") ? "two-link.txt" : name;
            EXPECT_EQ(rewriter.rewrite(at(reached), first ? plain(u"old", u"new") : plain(u"new", u"old"), nullptr),
                      FileOutcome::changed)
                << name;
            EXPECT_EQ(read(name).substr(0, 3), first ? "new" : "old");
            EXPECT_EQ(aclOf(at(name)), acl) << name;
            EXPECT_EQ(modeOf(at(name)), mode) << name;
        }
    }
}

TEST_F(FileAttributesTest, RewrittenFileKeepsItsUserAttributes) {
    write("a.txt", "old\n", 0644);
    if (::setxattr(at("a.txt").c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << fs::temp_directory_path() << " does not hold user attributes: " << std::strerror(errno);
    FileRewriter rewriter;
    EXPECT_EQ(rewriter.rewrite(at("a.txt"), plain(u"old", u"new"), nullptr), FileOutcome::changed);
    EXPECT_EQ(read("a.txt"), "new\r\n");
    char value[16] = {};
    EXPECT_EQ(::getxattr(at("a.txt").c_str(), "user.note", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    EXPECT_EQ(modeOf(at("a.txt")), 0644u);
}

// The new file is made in the folder, whose default ACL it inherits: it must not keep it,
// nor the access that ACL gives anyone.
TEST_F(FileAttributesTest, FolderDefaultAclGivesTheRewrittenFileNothing) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    fs::create_directories(at("shared"));
    write("shared/a.txt", "old\n", 0640);
    ASSERT_TRUE(setAcl("-d -m u:nobody:rwx", at("shared")));
    const std::string acl = aclOf(at("shared/a.txt"));
    ASSERT_EQ(acl.find("65534"), std::string::npos) << acl;
    ASSERT_FALSE(hasAttribute(at("shared/a.txt"), "system.posix_acl_access"));

    FileRewriter rewriter;
    EXPECT_EQ(rewriter.rewrite(at("shared/a.txt"), plain(u"old", u"new"), nullptr), FileOutcome::changed);
    EXPECT_EQ(read("shared/a.txt"), "new\r\n");
    EXPECT_EQ(modeOf(at("shared/a.txt")), 0640u);
    EXPECT_FALSE(hasAttribute(at("shared/a.txt"), "system.posix_acl_access"));
    EXPECT_EQ(aclOf(at("shared/a.txt")), acl);
}

TEST_F(FileAttributesTest, RestoreFromBackupKeepsTheFilesAclAndMode) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("a.txt", "new\n", 0640);
    write("a.bak", "old\n", 0600);
    ASSERT_TRUE(setAcl("-m u:nobody:rw", at("a.txt")));
    const std::string acl = aclOf(at("a.txt"));
    const mode_t mode = modeOf(at("a.txt"));
    ASSERT_NE(acl.find("user:65534:rw-"), std::string::npos) << acl;

    EXPECT_EQ(restoreFromBackup(at("a.bak"), at("a.txt"), fingerprintOf("new\n"), fingerprintOf("old\n")).outcome,
              RestoreOutcome::restored);
    EXPECT_EQ(read("a.txt"), "old\n");
    EXPECT_EQ(aclOf(at("a.txt")), acl);
    EXPECT_EQ(modeOf(at("a.txt")), mode);
}

// The run's backup copy of a file is as readable and writable as the file, no more: the
// undo puts its bytes back into the file.
TEST_F(FileAttributesTest, BackupCopyKeepsTheFilesAclAndGetsNothingFromItsFolder) {
    if (!aclUnsupported().empty()) GTEST_SKIP() << aclUnsupported();
    write("a.txt", "old\n", 0640);
    ASSERT_TRUE(setAcl("-m u:nobody:rw", at("a.txt")));
    fs::create_directories(at("bak"));
    ASSERT_TRUE(setAcl("-d -m u:daemon:rwx", at("bak")));
    const std::string acl = aclOf(at("a.txt"));
    ASSERT_NE(acl.find("group::r--"), std::string::npos) << acl;

    BackupCopier copier(textFromUtf8(root_), textFromUtf8(at("bak")));
    ASSERT_TRUE(copier.copy(u"a.txt"));
    EXPECT_EQ(read("bak/a.txt"), "old\n");
    EXPECT_EQ(aclOf(at("bak/a.txt")), acl);
    EXPECT_EQ(modeOf(at("bak/a.txt")), modeOf(at("a.txt")));
}

}  // namespace
