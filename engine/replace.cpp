#include "engine/replace.h"

#include <cstdint>

#include "engine/regex.h"

namespace {

// Plain mode with letter case: one linear pass that builds the new text directly, in the
// text's own storage when the replacement is not longer than the search text (a large file
// then needs no second copy of its text).
ReplaceResult replaceExact(Text& text, const PreparedRow& row, size_t& count) {
    // Replacing a text by itself changes nothing, however often it occurs.
    if (row.replacement == row.search) return ReplaceResult::unchanged;
    if (row.replacement.size() <= row.search.size()) {
        count = replaceAllInPlace(text, row.search, row.replacement);
        return count > 0 ? ReplaceResult::changed : ReplaceResult::unchanged;
    }
    Text out;
    count = appendReplacingAll(text, row.search, row.replacement, out);
    if (count == 0) return ReplaceResult::unchanged;
    text = std::move(out);
    return ReplaceResult::changed;
}

// Every occurrence of the search text, leftmost first and without overlap (letter case as
// the row says).
ReplaceResult findOccurrences(TextView text, const PreparedRow& row, const EditSink& edit) {
    bool changed = false;
    const size_t length = row.search.size();
    forEachOccurrence(text, row.search, findMode(row.options), [&](size_t at) {
        changed = changed || text.substr(at, length) != row.replacement;
        edit(at, length, row.replacement);
    });
    return changed ? ReplaceResult::changed : ReplaceResult::unchanged;
}

// Every non-empty match of the compiled row pattern, with "\1" put in for group 1.
ReplaceResult findMatches(TextView text, const PreparedRow& row, const EditSink& edit, Matcher& matcher) {
    if (!matcher.use(row.pattern) || !matcher.begin(text)) return ReplaceResult::failed;
    const bool usesGroup = row.replacement.find(u"\\1") != Text::npos;
    Text withGroup;
    bool changed = false;
    while (matcher.next()) {
        const size_t length = matcher.length();
        if (length == 0) continue;
        const size_t start = matcher.start();
        if (usesGroup) withGroup = replaceAll(row.replacement, u"\\1", matcher.group(1));
        const TextView replacement = usesGroup ? TextView(withGroup) : TextView(row.replacement);
        changed = changed || text.substr(start, length) != replacement;
        edit(start, length, replacement);
    }
    if (matcher.failed()) return ReplaceResult::failed;
    return changed ? ReplaceResult::changed : ReplaceResult::unchanged;
}

// The new text built from the edits in one pass beside the old one.
ReplaceResult replaceByEdits(Text& text, const PreparedRow& row, size_t& count, Matcher* matcher) {
    Text out;
    size_t done = 0;
    const ReplaceResult result = findReplacements(text, row, [&](size_t start, size_t length, TextView replacement) {
        ++count;
        if (out.capacity() == 0) out.reserve(text.size() + replacement.size());
        out.append(text, done, start - done);
        out.append(replacement);
        done = start + length;
    }, matcher);
    if (result != ReplaceResult::changed) return result;
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

ReplaceResult findReplacements(TextView text, const PreparedRow& row, const EditSink& edit, Matcher* matcher) {
    if (row.options.useRegex) {
        if (matcher != nullptr) return findMatches(text, row, edit, *matcher);
        Matcher own;
        return findMatches(text, row, edit, own);
    }
    if (row.search.empty()) return ReplaceResult::unchanged;
    return findOccurrences(text, row, edit);
}

ReplaceResult replaceInText(Text& text, const PreparedRow& row, size_t* replacements, Matcher* matcher) {
    size_t count = 0;
    ReplaceResult result = ReplaceResult::unchanged;
    if (!row.options.useRegex && findMode(row.options) == 0) {
        if (!row.search.empty()) result = replaceExact(text, row, count);
    } else {
        result = replaceByEdits(text, row, count, matcher);
    }
    if (replacements) *replacements = result == ReplaceResult::changed ? count : 0;
    return result;
}
