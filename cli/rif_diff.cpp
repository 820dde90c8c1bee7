#include "cli/rif_diff.h"

#include <iostream>
#include <vector>

#include <dtl/dtl.hpp>

namespace {

// A text's lines, whatever ends them, in UTF-8: what a unified diff compares.
std::vector<std::string> linesOf(const Text& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == Text::npos) end = text.size();
        lines.push_back(textToUtf8(TextView(text).substr(start, end - start)));
        if (end == text.size()) break;
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
        if (start == text.size()) break;
    }
    return lines;
}

}  // namespace

void printDiff(const std::string& path, const Text& before, const Text& after) {
    dtl::Diff<std::string> diff(linesOf(before), linesOf(after));
    diff.onHuge();
    diff.compose();
    diff.composeUnifiedHunks();
    std::cout << "--- " << path << "\n+++ " << path << "\n";
    diff.printUnifiedFormat(std::cout);
}
