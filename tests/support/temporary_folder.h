#pragma once
// Tests that work in a fresh temporary folder of their own, removed afterwards, writing and
// reading files there by their names.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "tests/support/scratch_folder.h"

namespace testing_support {

class TemporaryFolderTest : public testing::Test {
protected:
    // The folder is named prefix-XXXXXX, so that one left behind tells who made it.
    explicit TemporaryFolderTest(std::string prefix = "test") : prefix_(std::move(prefix)) {}

    void SetUp() override {
        ASSERT_TRUE(scratch_.make(prefix_)) << "cannot make a temporary folder: " << std::strerror(errno);
        folder_ = scratch_.path();
        root_ = folder_.string() + "/";
    }
    void TearDown() override { scratch_.remove(); }

    std::string at(const std::string& name) const { return root_ + name; }
    // Writes a file, making its folders first.
    void write(const std::string& name, const std::string& bytes = "foo\n") const {
        std::filesystem::create_directories(std::filesystem::path(at(name)).parent_path());
        std::ofstream(at(name), std::ios::binary) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(at(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::filesystem::path folder_;  // links resolved
    std::string root_;              // the same, with its final "/"

private:
    std::string prefix_;
    ScratchFolder scratch_;
};

}  // namespace testing_support
