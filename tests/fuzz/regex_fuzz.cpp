// The regular-expression service: the matches of an iteration, and the file prefilter that
// lets a file whose bytes cannot hold a match go unread.
//
// Input: a flags byte, the pattern and the replacement (each a field), then the subject.
// Flags: 1 ignores letter case, 2 is the empty-line option, 4 reads the texts as raw UTF-16
// units, 8 keeps line ends in the rewrite; bits 4-5 choose how the subject is put in a file
// (no mark, UTF-8 mark, UTF-16LE mark, no mark in CP1251).
//
// Properties:
// - a pattern that does not compile comes with a message;
// - the matches of a Matcher's iteration lie in the subject, start further on each time,
//   never overlap and never split a surrogate pair; the iteration ends;
// - a second matcher of the same pattern, asked matchesAnywhere between its matches, gives
//   the same matches and groups, and says there is a match wherever the iteration found one;
// - replaceInText gives the text built from those matches: each non-empty one replaced,
//   with "\1" put in for group 1;
// - the prefilter never skips a file with a match: FileRewriter::rewrite of a file holding
//   the subject ends as replaceInText on the file's decoded text says ("unchanged" only
//   when nothing changes there, "failed" when the reader flagged the file).

#include <cstdint>

#include "engine/file_rewrite.h"
#include "engine/regex.h"
#include "engine/replace.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

struct Match {
    size_t start;
    size_t length;
    Text group;
};

bool splitsPair(TextView text, size_t at) {
    return at > 0 && at < text.size() && isHighSurrogate(text[at - 1]) && isLowSurrogate(text[at]);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    useUtf8Locale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    const uint8_t flags = input.byte();
    const bool raw = (flags & 4) != 0;
    PreparedRow row;
    row.options.useRegex = true;
    row.options.matchCase = (flags & 1) == 0;
    row.options.emptyLineMode = (flags & 2) != 0;
    row.search = textOf(input.field(), raw);
    row.replacement = textOf(input.field(), raw);
    const Text subject = textOf(input.rest(), raw);

    CompiledPattern compiled = compilePattern(row.search, compileFlags(row.options));
    if (compiled.pattern == nullptr) {
        FUZZ_EXPECT(!compiled.error.empty(), "a pattern that does not compile gives no message: %s",
                    unitsOf(row.search).c_str());
        return 0;
    }
    row.pattern = compiled.pattern;

    // The iteration.
    std::vector<Match> matches;
    Matcher matcher;
    FUZZ_EXPECT(matcher.use(row.pattern) && matcher.begin(subject), "a matcher refuses a compiled pattern");
    size_t previousStart = 0;
    size_t previousEnd = 0;
    while (matcher.next()) {
        const size_t start = matcher.start();
        const size_t length = matcher.length();
        FUZZ_EXPECT(start <= subject.size() && length <= subject.size() - start,
                    "match [%zu, +%zu) outside the subject of %zu units (pattern %s)", start, length,
                    subject.size(), unitsOf(row.search).c_str());
        FUZZ_EXPECT(matches.empty() || (start > previousStart && start >= previousEnd),
                    "match at %zu after one at [%zu, %zu): out of order or overlapping (pattern %s, subject %s)",
                    start, previousStart, previousEnd, unitsOf(row.search).c_str(), unitsOf(subject).c_str());
        FUZZ_EXPECT(!splitsPair(subject, start) && !splitsPair(subject, start + length),
                    "match [%zu, +%zu) splits a surrogate pair (subject %s)", start, length,
                    unitsOf(subject).c_str());
        FUZZ_EXPECT(matches.size() <= subject.size(), "more matches than units: the iteration does not end");
        matches.push_back({start, length, matcher.group(1)});
        previousStart = start;
        previousEnd = start + length;
    }
    if (matcher.failed()) return 0;  // a match limit: no comparison

    // A second matcher of the pattern, its iteration interrupted by one-shot matches.
    Matcher other(row.pattern);
    FUZZ_EXPECT(other.begin(subject), "a second matcher refuses a compiled pattern");
    size_t found = 0;
    bool same = true;
    bool anywhere = false;
    while (same && other.next()) {
        same = found < matches.size() && other.start() == matches[found].start &&
               other.length() == matches[found].length && other.group(1) == matches[found].group;
        ++found;
        anywhere = other.matchesAnywhere(subject);
        if (other.failed()) return 0;
    }
    if (other.failed()) return 0;
    FUZZ_EXPECT(same && found == matches.size(),
                "a second matcher finds other matches than the first (%zu of %zu alike; pattern %s, subject %s)",
                found, matches.size(), unitsOf(row.search).c_str(), unitsOf(subject).c_str());
    FUZZ_EXPECT(matches.empty() || anywhere, "matchesAnywhere finds none where the iteration found %zu",
                matches.size());

    // The replacement built from the matches.
    const bool usesGroup = row.replacement.find(u"\\1") != Text::npos;
    Text expected;
    size_t done = 0;
    for (const Match& m : matches) {
        if (m.length == 0) continue;
        expected.append(subject, done, m.start - done);
        expected.append(usesGroup ? replaceAll(row.replacement, u"\\1", m.group) : row.replacement);
        done = m.start + m.length;
    }
    expected.append(subject, done, Text::npos);
    Text replaced = subject;
    const ReplaceResult result = replaceInText(replaced, row);
    if (result == ReplaceResult::failed) return 0;
    FUZZ_EXPECT(result == (expected != subject ? ReplaceResult::changed : ReplaceResult::unchanged) &&
                    replaced == (expected != subject ? expected : subject),
                "replaceInText: result %d, text %s; from the matches: %s (pattern %s)", static_cast<int>(result),
                unitsOf(replaced).c_str(), unitsOf(expected).c_str(), unitsOf(row.search).c_str());

    // The prefilter: a file holding the subject, rewritten, ends as its decoded text says.
    std::string bytes;
    std::string charset;
    switch ((flags >> 4) & 3) {
        case 0: bytes = textToUtf8(subject); break;
        case 1: bytes = "\xEF\xBB\xBF" + textToUtf8(subject); break;
        case 2:
            bytes = "\xFF\xFE";
            for (char16_t unit : subject) {
                bytes.push_back(static_cast<char>(unit & 0xFF));
                bytes.push_back(static_cast<char>(unit >> 8));
            }
            break;
        case 3:
            bytes = textToUtf8(subject);  // read as CP1251: other characters, same bytes
            charset = "CP1251";
            break;
    }
    const std::string path = scratchPath("a");
    writeFile(path, bytes);

    FileBytes storage;
    struct stat status;
    std::unique_ptr<TextFile> reader = openWholeFile(path, storage, status, nullptr, charset);
    FUZZ_EXPECT(reader != nullptr, "the file just written cannot be read");
    const TextFormat format = detectFormat(*reader);
    Text text;
    readText(*reader, format, text);
    const bool whole = !sawZeroUnit(*reader) && !readFailed(*reader) && !sawIncompleteUnit(*reader) &&
                       !sawIrreversibleBytes(*reader);
    reader.reset();
    FileOutcome want;
    if (format == TextFormat::utf16be || format == TextFormat::utf32be) {
        want = FileOutcome::unsupported;
    } else {
        Text decoded = text;
        switch (replaceInText(decoded, row)) {
            case ReplaceResult::unchanged: want = FileOutcome::unchanged; break;
            case ReplaceResult::failed: return 0;
            case ReplaceResult::changed: want = whole ? FileOutcome::changed : FileOutcome::failed; break;
        }
    }
    RewriteOptions options;
    options.ansiCharset = charset;
    options.keepLineEnds = (flags & 8) != 0;
    FileRewriter rewriter(options);
    const FileOutcome got = rewriter.rewrite(path, row, nullptr);
    if (got == FileOutcome::failed && want != FileOutcome::failed) {
        // A match limit met in the rewrite alone would be no fault; anything else is.
        Text again = text;
        if (replaceInText(again, row) == ReplaceResult::failed) return 0;
    }
    FUZZ_EXPECT(got == want,
                "rewrite says %s, the decoded text says %s (pattern %s, leading literal %s, file bytes %s)",
                outcomeName(got), outcomeName(want), unitsOf(row.search).c_str(),
                unitsOf(leadingLiteral(row.search)).c_str(), hexOf(bytes).c_str());
    if (got != FileOutcome::changed)
        FUZZ_EXPECT(readFile(path) == bytes, "a file left %s has other bytes now", outcomeName(got));
    return 0;
}
