// The plain replacement against a simple replace-all, with letter case and ignoring it.
//
// Input: a flags byte, the search text and the replacement (each a field), then the text.
// Flags: 1 ignores letter case, 2 reads the three texts as raw UTF-16 units.
//
// Properties:
// - replaceInText gives the reference's text, "changed" exactly when that differs from the
//   text (and then the number of occurrences), and leaves the text alone otherwise;
// - findReplacements reports the reference's occurrences in order, each with the
//   replacement, and forEachOccurrence the same places;
// - findTextFrom and findText find the first occurrence at or after a place;
// - with letter case, replaceAll, appendReplacingAll and replaceAllInPlace agree with the
//   reference (texts and counts), and so does the regular-expression path given the
//   search text spelt as a pattern that matches only itself.

#include <cstdint>

#include "engine/regex.h"
#include "engine/replace.h"
#include "fuzz_support.h"

using namespace fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useUtf8Locale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    const uint8_t flags = input.byte();
    const bool ignoreCase = (flags & 1) != 0;
    const bool raw = (flags & 2) != 0;
    const Text search = textOf(input.field(), raw);
    const Text replacement = textOf(input.field(), raw);
    const Text text = textOf(input.rest(), raw);
    const int mode = ignoreCase ? 1 : 0;

    const std::vector<size_t> places = referenceOccurrences(text, search, ignoreCase);
    const Text expected = referenceReplace(text, search, replacement, ignoreCase);
    const bool differs = expected != text;

    // The replacement itself.
    PreparedRow row;
    row.options.matchCase = !ignoreCase;
    row.search = search;
    row.replacement = replacement;
    Text replaced = text;
    size_t count = 12345;
    const ReplaceResult result = replaceInText(replaced, row, &count);
    FUZZ_EXPECT(count == (result == ReplaceResult::changed ? places.size() : 0),
                "replaceInText counts %zu places, the reference finds %zu (result %d)", count, places.size(),
                static_cast<int>(result));
    if (search.empty() || !differs) {
        FUZZ_EXPECT(result == ReplaceResult::unchanged && replaced == text,
                    "nothing to change, but result %d, text %s -> %s (search %s, replacement %s)",
                    static_cast<int>(result), unitsOf(text).c_str(), unitsOf(replaced).c_str(),
                    unitsOf(search).c_str(), unitsOf(replacement).c_str());
    } else {
        FUZZ_EXPECT(result == ReplaceResult::changed && replaced == expected,
                    "result %d, text %s -> %s, expected %s (search %s, replacement %s, case %s)",
                    static_cast<int>(result), unitsOf(text).c_str(), unitsOf(replaced).c_str(),
                    unitsOf(expected).c_str(), unitsOf(search).c_str(), unitsOf(replacement).c_str(),
                    ignoreCase ? "ignored" : "kept");
    }

    // The same as edits.
    std::vector<size_t> edits;
    bool editsRight = true;
    const ReplaceResult editResult =
        findReplacements(text, row, [&](size_t start, size_t length, TextView with) {
            edits.push_back(start);
            editsRight = editsRight && length == search.size() && with == replacement &&
                         start + length <= text.size();
        });
    FUZZ_EXPECT(editResult == result, "findReplacements says %d, replaceInText %d", static_cast<int>(editResult),
                static_cast<int>(result));
    FUZZ_EXPECT(editsRight && edits == places, "edits at %zu places, the reference finds %zu (text %s, search %s)",
                edits.size(), places.size(), unitsOf(text).c_str(), unitsOf(search).c_str());

    std::vector<size_t> found;
    forEachOccurrence(text, search, mode, [&](size_t at) { found.push_back(at); });
    FUZZ_EXPECT(found == places, "forEachOccurrence finds %zu places, the reference %zu (text %s, search %s)",
                found.size(), places.size(), unitsOf(text).c_str(), unitsOf(search).c_str());

    // The first occurrence from a few places on.
    for (size_t from : {size_t{0}, size_t{1}, text.size() / 3, text.size() / 2, text.size()}) {
        const size_t want = referenceFind(text, search, from, ignoreCase);
        const size_t got = findTextFrom(text, search, from, mode);
        FUZZ_EXPECT(got == want, "findTextFrom from %zu gives %zu, expected %zu (text %s, search %s)", from, got,
                    want, unitsOf(text).c_str(), unitsOf(search).c_str());
        const int32_t position = findText(text, search, static_cast<int32_t>(from + 1), mode);
        FUZZ_EXPECT(position == (want == TextView::npos ? 0 : static_cast<int32_t>(want + 1)),
                    "findText from %zu gives %d, expected the 0-based %zu", from + 1, position, want);
    }

    if (ignoreCase || search.empty()) return 0;

    // The primitives with letter case.
    FUZZ_EXPECT(replaceAll(text, search, replacement) == expected, "replaceAll differs from the reference (text %s)",
                unitsOf(text).c_str());
    Text appended = u"prefix";
    const size_t appendedCount = appendReplacingAll(text, search, replacement, appended);
    FUZZ_EXPECT(appendedCount == places.size() &&
                    appended == (places.empty() ? Text(u"prefix") : u"prefix" + expected),
                "appendReplacingAll counts %zu and gives %s for %s", appendedCount, unitsOf(appended).c_str(),
                unitsOf(expected).c_str());
    if (replacement.size() <= search.size()) {
        Text inPlace = text;
        const size_t inPlaceCount = replaceAllInPlace(inPlace, search, replacement);
        FUZZ_EXPECT(inPlaceCount == places.size() && inPlace == expected,
                    "replaceAllInPlace counts %zu and gives %s for %s", inPlaceCount, unitsOf(inPlace).c_str(),
                    unitsOf(expected).c_str());
    }

    // The regular-expression path with the search text as a literal pattern ("\1" in the
    // replacement means a group there, so such replacements are left out).
    const Text pattern = literalPattern(search);
    if (pattern.empty() || replacement.find(u"\\1") != Text::npos) return 0;
    PreparedRow regexRow = row;
    regexRow.options.useRegex = true;
    regexRow.search = pattern;
    regexRow.pattern = compilePattern(pattern, compileFlags(regexRow.options)).pattern;
    if (regexRow.pattern == nullptr)
        fail("the literal pattern %s does not compile", unitsOf(pattern).c_str());
    Text byRegex = text;
    const ReplaceResult regexResult = replaceInText(byRegex, regexRow);
    if (regexResult == ReplaceResult::failed) return 0;  // a match limit, not a fault
    FUZZ_EXPECT(regexResult == result && byRegex == replaced,
                "as a regular expression: result %d, text %s; plain: result %d, text %s (search %s)",
                static_cast<int>(regexResult), unitsOf(byRegex).c_str(), static_cast<int>(result),
                unitsOf(replaced).c_str(), unitsOf(search).c_str());
    return 0;
}
