// A search text's bytes in a single-byte code page: given only where every character of it
// comes from one byte and no other, so that a file without them cannot hold it.

#include "engine/single_byte_form.h"

#include <gtest/gtest.h>

namespace {

TEST(SingleByteFormTest, GivesTheBytesOnlyWhereEachCharacterHasOneByteOfItsOwn) {
    const struct {
        const char* codeset;
        Text text;
        std::string bytes;  // empty: the bytes cannot tell
    } cases[] = {
        {"ISO-8859-1", u"f\u00FCr", "f\xFCr"},
        {"CP1252", u"\u20AC 5", "\x80 5"},
        {"CP1251", u"\u043F\u0440\u0438", "\xEF\xF0\xE8"},
        {"KOI8-R", u"\u043F\u0440\u0438", "\xD0\xD2\xC9"},
        {"ISO-8859-7", u"\u03B1\u03B2", "\xE1\xE2"},
        // A character the code page does not have.
        {"ISO-8859-1", u"\u0416", ""},
        // UTF-8 and sets of characters of several bytes.
        {"", u"abc", ""},
        {"UTF-8", u"abc", ""},
        {"CP932", u"abc", ""},
        {"CP936", u"abc", ""},
        {"no-such-set", u"abc", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(singleByteForm(c.codeset, c.text), c.bytes) << c.codeset;
}

}  // namespace
