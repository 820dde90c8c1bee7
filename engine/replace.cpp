#include "engine/replace.h"

#include <cstdint>

#include "engine/regex.h"

namespace {

// Plain mode with letter case: one linear pass that builds the new text directly, in the
// text's own storage when the replacement is not longer than the search text (a large file
// then needs no second copy of its text).
ReplaceResult replaceExact(Text& text, const PreparedRow& row) {
    // Replacing a text by itself changes nothing, however often it occurs.
    if (row.replacement == row.search) return ReplaceResult::unchanged;
    if (row.replacement.size() <= row.search.size())
        return replaceAllInPlace(text, row.search, row.replacement) ? ReplaceResult::changed
                                                                    : ReplaceResult::unchanged;
    Text out;
    if (!appendReplacingAll(text, row.search, row.replacement, out)) return ReplaceResult::unchanged;
    text = std::move(out);
    return ReplaceResult::changed;
}

// Plain mode ignoring letter case: the search compares code units after lowerCaseUnit, so
// the text itself is never lower-cased; the output is built in the same single pass. The
// text counts as changed only when some occurrence differs from the replacement.
ReplaceResult replaceIgnoringCase(Text& text, const PreparedRow& row) {
    size_t found = findTextFrom(text, row.search, 0, 1);
    if (found == TextView::npos) return ReplaceResult::unchanged;
    Text out;
    out.reserve(text.size() + row.replacement.size());
    size_t done = 0;
    bool changed = false;
    while (found != TextView::npos) {
        changed = changed || TextView(text).substr(found, row.search.size()) != row.replacement;
        out.append(text, done, found - done);
        out.append(row.replacement);
        done = found + row.search.size();
        found = findTextFrom(text, row.search, done, 1);
    }
    if (!changed) return ReplaceResult::unchanged;
    out.append(text, done, Text::npos);
    text = std::move(out);
    return ReplaceResult::changed;
}

// The text counts as changed only when some match differs from its replacement: an empty
// match, or one replaced by its own text, leaves the text as it was.
ReplaceResult replaceMatches(Text& text, const PreparedRow& row) {
    if (!beginMatches(rowPattern, text)) return ReplaceResult::failed;
    const bool usesGroup = row.replacement.find(u"\\1") != Text::npos;
    Text out;
    Text withGroup;
    size_t done = 0;
    bool changed = false;
    while (nextMatch(rowPattern)) {
        const size_t length = matchLength(rowPattern);
        if (length == 0) continue;
        const size_t start = matchStart(rowPattern);
        if (usesGroup) withGroup = replaceAll(row.replacement, u"\\1", matchGroup(rowPattern, 1));
        const TextView replacement = usesGroup ? TextView(withGroup) : TextView(row.replacement);
        changed = changed || TextView(text).substr(start, length) != replacement;
        if (out.capacity() == 0) out.reserve(text.size() + row.replacement.size());
        out.append(text, done, start - done);
        out.append(replacement);
        done = start + length;
    }
    if (matchFailed(rowPattern)) return ReplaceResult::failed;
    if (!changed) return ReplaceResult::unchanged;
    out.append(text, done, Text::npos);
    text = std::move(out);
    return ReplaceResult::changed;
}

}  // namespace

int findMode(const RowOptions& options) { return options.matchCase ? 0 : 1; }

uint32_t compileFlags(const RowOptions& options) {
    uint32_t flags = multiline | dotAll;
    if (!options.matchCase) flags |= caseless;
    if (options.emptyLineMode) flags |= newlineAnyCrLf;
    return flags;
}

ReplaceResult replaceInText(Text& text, const PreparedRow& row) {
    if (row.options.useRegex) return replaceMatches(text, row);
    if (row.search.empty()) return ReplaceResult::unchanged;
    return findMode(row.options) == 0 ? replaceExact(text, row) : replaceIgnoringCase(text, row);
}
