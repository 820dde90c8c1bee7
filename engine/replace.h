#pragma once
// The replacement applied to one text, shared by both search rows. Pure: no gadgets.

#include <cstdint>
#include <functional>
#include <memory>

#include "engine/regex.h"
#include "engine/text.h"
#include "engine/utf8_regex.h"

// The options of one row, read from its check boxes when its run button is pressed.
struct RowOptions {
    bool useRegex = false;
    bool matchCase = true;
    bool emptyLineMode = false;
};

// A row ready to run: its options, search text (with the line break of the empty-line
// option appended), replacement text and, with regular expressions, its compiled search.
struct PreparedRow {
    RowOptions options;
    Text search;
    Text replacement;
    // The search compiled (compileFlags or lineCompileFlags); null without regular
    // expressions. A row with regular expressions and no pattern fails on every text.
    std::shared_ptr<const Pattern> pattern;
    // The same search compiled with the same flags for UTF-8 subjects (compileUtf8Pattern),
    // with which valid UTF-8 files are searched on their bytes; null: every file is searched
    // through its text.
    std::shared_ptr<const Utf8Pattern> utf8Pattern;
};

// 0 when letter case must match, 1 when it is ignored (the mode of findText).
int findMode(const RowOptions& options);
// The regular-expression flags of a row: caseless when case is ignored, always multiline
// and dot-all, newlineAnyCrLf with the empty-line option.
uint32_t compileFlags(const RowOptions& options);

enum class ReplaceResult { unchanged, changed, failed };

// Replaces in text, in one pass over it.
// Plain mode: every occurrence of the search text, leftmost first and without overlap; the
// inserted replacement is never searched again.
// Regular expressions (the row's pattern): each non-empty match of the original text
// is replaced where it was found by the replacement with "\1" put in for capture group 1
// (no other reference is recognised); an empty match inserts nothing.
// "changed" only when the text is different afterwards: occurrences replaced by their own
// text, or only empty matches, leave it "unchanged" (and as it was). "failed" means a match
// ended in an error (the match limit and the like); the text is then left as it was. Texts
// of any length are searched to their end.
// replacements, when given, receives how many places were replaced (0 unless "changed").
// matcher, when given, is the caller's match state, kept from text to text (a worker's own);
// without one the call makes its own.
ReplaceResult replaceInText(Text& text, const PreparedRow& row, size_t* replacements = nullptr,
                            Matcher* matcher = nullptr);

// Called for each place of the text that the replacement changes, in order: the place's
// start and length (in code units) and what goes there.
using EditSink = std::function<void(size_t start, size_t length, TextView replacement)>;
// What replaceInText would do, as edits of the text instead of a new text; the result is
// replaceInText's. The edits are reported as they are found, also when the result turns
// out "unchanged" or "failed": the caller uses them only on "changed".
ReplaceResult findReplacements(TextView text, const PreparedRow& row, const EditSink& edit,
                               Matcher* matcher = nullptr);
