#include "engine/replace.h"

#include <cstdint>

#include "engine/regex.h"

namespace {

// Plain mode with letter case: one linear pass that builds the new text directly, in the
// text's own storage when the replacement is no longer than the search text (a large file
// then needs no second copy of its text).
ReplaceResult replaceExact(Text& text, const PreparedRow& row) {
    // findText reports no position beyond the 32-bit range; a text that long keeps its rule
    // that such a first occurrence is not found.
    if (text.size() >= static_cast<size_t>(INT32_MAX) && findText(text, row.search, 1, 0) == 0)
        return ReplaceResult::unchanged;
    if (row.replacement.size() <= row.search.size())
        return replaceAllInPlace(text, row.search, row.replacement) ? ReplaceResult::changed
                                                                    : ReplaceResult::unchanged;
    Text out;
    if (!appendReplacingAll(text, row.search, row.replacement, out)) return ReplaceResult::unchanged;
    text = std::move(out);
    return ReplaceResult::changed;
}

// Plain mode ignoring letter case: findText compares code units after lowerCaseUnit, so the
// text itself is never lower-cased; the output is built in the same single pass.
ReplaceResult replaceIgnoringCase(Text& text, const PreparedRow& row) {
    int32_t found = findText(text, row.search, 1, 1);
    if (found == 0) return ReplaceResult::unchanged;
    Text out;
    out.reserve(text.size() + row.replacement.size());
    size_t done = 0;
    while (found != 0) {
        const size_t at = static_cast<size_t>(found) - 1;
        out.append(text, done, at - done);
        out.append(row.replacement);
        done = at + row.search.size();
        if (done >= text.size()) break;
        found = findText(text, row.search, static_cast<int32_t>(done + 1), 1);
    }
    out.append(text, done, Text::npos);
    text = std::move(out);
    return ReplaceResult::changed;
}

ReplaceResult replaceMatches(Text& text, const PreparedRow& row) {
    if (!beginMatches(rowPattern, text)) return ReplaceResult::failed;
    const bool usesGroup = row.replacement.find(u"\\1") != Text::npos;
    Text out;
    size_t done = 0;
    bool found = false;
    while (nextMatch(rowPattern)) {
        found = true;
        const size_t length = matchLength(rowPattern);
        if (length == 0) continue;
        const size_t start = matchStart(rowPattern);
        if (out.capacity() == 0) out.reserve(text.size() + row.replacement.size());
        out.append(text, done, start - done);
        if (usesGroup) out.append(replaceAll(row.replacement, u"\\1", matchGroup(rowPattern, 1)));
        else out.append(row.replacement);
        done = start + length;
    }
    if (matchFailed(rowPattern)) return ReplaceResult::failed;
    if (!found) return ReplaceResult::unchanged;
    if (done > 0 || !out.empty()) {
        out.append(text, done, Text::npos);
        text = std::move(out);
    }
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
