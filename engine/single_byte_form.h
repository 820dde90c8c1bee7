#pragma once
// A search text's bytes in a single-byte code page, so that files without them need not be
// decoded to know that they do not hold the text.

#include <string>

#include "engine/text.h"

// The bytes that stand for text in the "ansi" character set codeset (empty: UTF-8) when
// that set gives every character a byte of its own: each byte decodes on its own, and each
// character of text is decoded from exactly one byte. Then an "ansi" line's text holds text
// exactly where its bytes hold these. Empty when they cannot tell: UTF-8, a set of
// characters of several bytes or with shift states, or a character of text that no byte
// or more than one byte gives.
std::string singleByteForm(const std::string& codeset, TextView text);
