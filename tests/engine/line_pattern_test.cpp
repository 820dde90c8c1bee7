// Patterns read over lines: how the rewritten pattern, compiled with lineCompileFlags,
// matches the text a run searches (the lines joined by CR LF, and a final CR LF for a last
// line end), across the pattern syntax that decides where a "\n" is a line break.

#include "engine/line_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/regex.h"

namespace {

std::string shown(TextView text) {
    std::string out;
    for (char16_t unit : text) {
        if (unit == u'\r') out += "\\r";
        else if (unit == u'\n') out += "\\n";
        else out += static_cast<char>(unit);
    }
    return out;
}

TEST(LinePatternTest, LineBreaksOfThePatternMatchTheTextsLineEnds) {
    const struct {
        Text pattern;
        Text text;
        std::vector<Text> matches;
    } cases[] = {
        // Outside a class "\n", "\r", "\r\n", "\r?\n", a typed line break: one line end.
        {u"b\\n", u"a\r\nb\r\nc", {u"b\r\n"}},
        {u"\\r", u"a\r\nb", {u"\r\n"}},
        {u"\\r\\n|x", u"a\r\nb", {u"\r\n"}},
        {u"a\\r?\\nb", u"a\r\n\r\nb\r\na\r\nb", {u"a\r\nb"}},
        {u"\\r+\\n", u"a\r\nb", {u"\r\n"}},
        {u"a\nb", u"a\r\nb", {u"a\r\nb"}},
        // '$' before a line end, never between its units, nor after the last line's end.
        {u"\\s+$", u"a \r\nb \r\n", {u" ", u" "}},
        {u"(?m)^\\s*\\S", u"a\r\n b", {u"a", u" b"}},
        // In a class "\n" is both units; a range from or to it keeps it.
        {u"[^\\n]+", u"ab\r\ncd", {u"ab", u"cd"}},
        {u"[\\n]+", u"a\r\n\r\nb", {u"\r\n\r\n"}},
        {u"[\\n-\\x1f]+", u"a\x0b\r\nb", {u"\x0b\r\n"}},
        {u"[[:alpha:]\\n]+", u"ab\r\ncd", {u"ab\r\ncd"}},
        {u"[]\\n]+", u"a]\r\nb", {u"]\r\n"}},
        // Quoted text, comments and escaped backslashes are not line breaks.
        {u"\\Q\\n\\E", u"a\\nb\r\nc", {u"\\n"}},
        {u"\\\\n", u"a\\nb\r\nc", {u"\\n"}},
        {u"(?#[)\\n", u"a\r\nb", {u"\r\n"}},
        // An extended pattern's typed line breaks are its white space; its "\n" a line end.
        {u"(?x) a \\n b", u"a\r\nb", {u"a\r\nb"}},
        {u"(?x)a # [ comment\nb", u"ab\r\n", {u"ab"}},
    };
    for (const auto& c : cases) {
        const Text pattern = linePattern(c.pattern);
        const CompiledPattern compiled = compilePattern(pattern, lineCompileFlags(RowOptions{true, true, false}));
        ASSERT_NE(compiled.pattern, nullptr)
            << shown(c.pattern) << " as " << shown(pattern) << ": " << shown(compiled.error);
        Matcher matcher(compiled.pattern);
        std::vector<Text> found;
        ASSERT_TRUE(matcher.begin(c.text));
        while (matcher.next()) found.push_back(c.text.substr(matcher.start(), matcher.length()));
        EXPECT_FALSE(matcher.failed());
        EXPECT_EQ(found, c.matches) << shown(c.pattern) << " as " << shown(pattern) << " on " << shown(c.text);
    }
    // A plain search's line breaks, of any kind, are the text's.
    EXPECT_TRUE(lineSearch(u"a\nb\r\nc\rd") == u"a\r\nb\r\nc\r\nd");
}

}  // namespace
