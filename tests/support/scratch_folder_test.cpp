// The tests' temporary folder goes whole, even where a test took its owner's permissions
// away from it or its subfolders.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/program_window.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

using testing_support::AsOrdinaryUser;
using testing_support::ScratchFolder;

TEST(ScratchFolderTest, FolderGoesWithSubfoldersWhosePermissionsWereTakenAway) {
    AsOrdinaryUser ordinary;  // root would pass every permission check
    fs::path made;
    {
        ScratchFolder folder;
        ASSERT_TRUE(folder.make("scratch-folder-test"));
        made = folder.path();
        EXPECT_EQ(made.filename().string().rfind("scratch-folder-test-", 0), 0u) << made;
        fs::create_directories(made / "locked/inner");
        std::ofstream(made / "locked/inner/file") << "x";
        std::ofstream(made / "locked/file") << "x";
        fs::permissions(made / "locked/inner", fs::perms::none);
        fs::permissions(made / "locked", fs::perms::owner_read | fs::perms::owner_exec);
        fs::permissions(made, fs::perms::owner_read | fs::perms::owner_exec);
    }
    EXPECT_FALSE(fs::exists(made)) << made;
}

TEST(ScratchFolderTest, RemoveEmptiesThePathAndMakeGivesAFreshFolder) {
    ScratchFolder folder;
    EXPECT_TRUE(folder.path().empty());
    ASSERT_TRUE(folder.make());
    const fs::path first = folder.path();
    EXPECT_TRUE(fs::is_directory(first));
    ASSERT_TRUE(folder.make());
    EXPECT_NE(folder.path(), first);
    EXPECT_FALSE(fs::exists(first));
    folder.remove();
    EXPECT_TRUE(folder.path().empty());
}

}  // namespace
