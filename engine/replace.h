#pragma once
// The replacement applied to one text, shared by both search rows.

#include "engine/text.h"

// The options of one row, read from its check boxes when its run button is pressed.
struct RowOptions {
    bool useRegex = false;
    bool matchCase = true;
    bool emptyLineMode = false;
};

// A row ready to run: its options, search text (with the line break of the empty-line
// option appended) and replacement text. The pattern, if any, is in the rowPattern slot.
struct PreparedRow {
    RowOptions options;
    Text search;
    Text replacement;
};

int findMode(const RowOptions& options);
uint32_t compileFlags(const RowOptions& options);

enum class ReplaceResult { unchanged, changed, failed };

// Replaces in text; with regular expressions, the compiled rowPattern is used. "failed"
// means a match ended in an error (the text is left as it was).
ReplaceResult replaceInText(Text& text, const PreparedRow& row);
