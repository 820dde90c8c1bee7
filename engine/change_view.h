#pragma once
// The changes a run would make to one file, line by line, for showing them before anything
// is written: each changed stretch of lines before and after, with the replaced text marked,
// the lines after as the run would write them (their line ends, and the characters the
// file's code page would keep).

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "engine/file_rewrite.h"

// One line as shown: its text, the stretches of it that are replaced or put in (start and
// length in code units), and after it the line end the run would write ("\r\n", "\n", "\r",
// or nothing for a last line without one; empty for lines before the change).
struct ShownLine {
    Text text;
    std::vector<std::pair<size_t, size_t>> marks;
    Text lineEnd;
};

// A stretch of lines that the change touches: the lines before (numbered from firstLine)
// and the lines after (numbered from newFirstLine, as they would be in the new file).
struct ChangedStretch {
    size_t firstLine = 0;
    size_t newFirstLine = 0;
    std::vector<ShownLine> before;
    std::vector<ShownLine> after;
};

struct FileChanges {
    FileOutcome outcome = FileOutcome::unchanged;
    size_t replacements = 0;                // every place the run would replace
    size_t shownReplacements = 0;           // the places in the stretches (at most the limit)
    std::vector<ChangedStretch> stretches;  // in file order
};

// What a run with row and options would change in the file at path, without writing it
// (options.dryRun is implied): the stretches of the first limit places.
FileChanges describeChanges(const std::string& path, const PreparedRow& row, RewriteOptions options,
                            size_t limit = 1000);
