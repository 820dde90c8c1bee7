// Real paths: links resolved, and the "inside" test that keeps writes in the chosen places.

#include "engine/real_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(RealPathTest, WithinMeansTheFolderItselfOrBelowItNotANameThatStartsAlike) {
    EXPECT_TRUE(pathIsWithin("/site/reserve", "/site/reserve"));
    EXPECT_TRUE(pathIsWithin("/site/reserve", "/site/reserve/"));
    EXPECT_TRUE(pathIsWithin("/site/reserve/a/b.htm", "/site/reserve"));
    EXPECT_TRUE(pathIsWithin("/anything", "/"));
    EXPECT_FALSE(pathIsWithin("/site/reserve2/b.htm", "/site/reserve"));
    EXPECT_FALSE(pathIsWithin("/site", "/site/reserve"));
    EXPECT_FALSE(pathIsWithin("/sit", "/site"));
}

// On real links in a temporary folder.
using RealPathLinksTest = testing_support::TemporaryFolderTest;

TEST_F(RealPathLinksTest, LinksAreResolvedAndAPathThatLeadsNowhereIsEmpty) {
    const fs::path folder = folder_;
    fs::create_directories(folder / "site/sub");
    fs::create_directory_symlink(folder / "site", folder / "link");
    fs::create_symlink(folder / "missing", folder / "dangling");
    EXPECT_EQ(resolvedPath((folder / "link/sub/").string()), (folder / "site/sub").string());
    EXPECT_EQ(resolvedPath((folder / "link/../site").string()), (folder / "site").string());
    EXPECT_EQ(resolvedPath((folder / "dangling").string()), "");
}

}  // namespace
