#pragma once
// For tests that rewrite a file both ways, on its bytes and through its text, and compare
// what became of it.

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>

#include "engine/file_rewrite.h"
#include "engine/text.h"
#include "tests/support/temporary_folder.h"

namespace testing_support {

// A plain row (letter case kept).
inline PreparedRow plain(const Text& search, const Text& replacement) {
    PreparedRow row;
    row.search = search;
    row.replacement = replacement;
    return row;
}

// What became of one file.
struct RewriteResult {
    FileOutcome outcome;
    std::string bytes;
    size_t replacements;
    bool operator==(const RewriteResult&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const RewriteResult& result) {
    out << "outcome " << static_cast<int>(result.outcome) << ", " << result.replacements << " places, bytes";
    for (const unsigned char byte : result.bytes) out << ' ' << std::hex << static_cast<int>(byte) << std::dec;
    return out;
}

class RewriteBothWaysTest : public TemporaryFolderTest {
protected:
    void SetUp() override {
        useUtf8Locale();
        TemporaryFolderTest::SetUp();
    }

    // The file with these bytes rewritten as one run of its own: on its bytes where it can
    // be with byteLevelFrom 0, through its text with SIZE_MAX. onBytes, when given, tells
    // whether it was replaced without a text (only a file replaced through its text has a
    // new text).
    RewriteResult rewrite(const std::string& bytes, const PreparedRow& row, RewriteOptions options,
                          size_t byteLevelFrom, bool* onBytes = nullptr) {
        write("f.txt", bytes);
        options.byteLevelFrom = byteLevelFrom;
        FileRewriter rewriter(options);
        const FileOutcome outcome = rewriter.rewrite(at("f.txt"), row, nullptr);
        if (onBytes != nullptr) *onBytes = rewriter.lastNewText().empty();
        return {outcome, read("f.txt"), rewriter.lastReplacements()};
    }
};

}  // namespace testing_support
