#pragma once
// Tests that work in a fresh temporary folder of their own, removed afterwards, writing and
// reading files there by their names.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_support {

class TemporaryFolderTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = std::filesystem::canonical(pattern);
        root_ = folder_.string() + "/";
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

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
};

}  // namespace testing_support
