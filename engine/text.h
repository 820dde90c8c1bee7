#pragma once
// Text primitives: the few operations on UTF-16 texts whose details decide what a search
// finds, what a replacement produces and which files are taken. Positions are 1-based;
// 0 means "not found". Everything here is a pure function of its arguments.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

using Text = std::u16string;
using TextView = std::u16string_view;

int64_t textLength(TextView text);

// Mode 0 matches letter case exactly; mode 1 compares code units after lowerCaseUnit.
int32_t findText(TextView text, TextView pattern, int32_t start, int mode);
// The same search from the 0-based offset from, giving the 0-based offset of the occurrence
// or TextView::npos: positions are not limited to the 32-bit range of findText.
size_t findTextFrom(TextView text, TextView pattern, size_t from, int mode);

// Calls found with the 0-based offset of every occurrence of pattern in text, leftmost first
// and without overlap, in linear time; mode as findText. Nothing for an empty pattern.
void forEachOccurrence(TextView text, TextView pattern, int mode, const std::function<void(size_t)>& found);

// Exact-case, non-overlapping, leftmost; inserted text is never scanned again. Linear time.
Text replaceAll(TextView text, TextView find, TextView replacement);
// replaceAll appending its result to out; the number of occurrences replaced: 0, and out
// as it was, when find does not occur (or is empty).
size_t appendReplacingAll(TextView text, TextView find, TextView replacement, Text& out);
// replaceAll within text's own storage, for a replacement no longer than find; the number
// of occurrences replaced: 0, and text as it was, when find does not occur (or is empty,
// or the replacement is longer).
size_t replaceAllInPlace(Text& text, TextView find, TextView replacement);

// The locale's lower-case mapping, one UTF-16 code unit at a time (surrogates map to themselves).
// The mapping is towlower() under LC_CTYPE, read into a table on first use; useUtf8Locale
// reads it again, a plain setlocale does not.
char16_t lowerCaseUnit(char16_t unit);
Text lowerCase(TextView text);
// lowerCase writing its text.size() units from out on (out may be text.data()).
void lowerCaseInto(TextView text, char16_t* out);

// Splitting of paths; both "\" and "/" separate folders.
Text fileNamePart(TextView path, bool withoutExtension);
Text extensionPart(TextView path);
// The same parts as views into path: a lower-cased copy of path has the lower-cased part
// at the same place.
TextView fileNameView(TextView path, bool withoutExtension);
TextView extensionView(TextView path);

Text numberToText(int64_t n);
int64_t textToNumber(TextView text);

// Lossless conversion between UTF-8 bytes and texts: a byte 80..FF that is not part of a
// valid UTF-8 sequence (shortest form, no surrogate, at most U+10FFFF) becomes the unit
// U+DC00 + byte, one of U+DC80..U+DCFF, and textToUtf8 writes that unit back as the same
// byte. A lone surrogate outside U+DC80..U+DCFF has no UTF-8 form and is written as "?".
Text textFromUtf8(std::string_view bytes);
std::string textToUtf8(TextView text);
// The same conversions, appending to out (whose storage is reused by callers that convert
// many lines).
void appendTextFromUtf8(std::string_view bytes, Text& out);
// appendTextFromUtf8 into raw storage: writes at most bytes.size() units from out on and
// returns the end of what it wrote.
char16_t* decodeUtf8Into(std::string_view bytes, char16_t* out);
void appendTextToUtf8(TextView text, std::string& out);

// True when a character set name as nl_langinfo(CODESET) gives it is handled as UTF-8: UTF-8
// itself and the ASCII of the C and POSIX locales ("ANSI_X3.4-1968").
bool isUtf8Codeset(const char* codeset);

// The character set of the user's locale as the environment gives it (LC_ALL, LC_CTYPE,
// LANG), whatever the process's own locale is: "UTF-8" for UTF-8, the C and POSIX locales
// and a locale that is not installed, else its name as nl_langinfo gives it ("ISO-8859-1").
std::string localeCharset();

// Puts LC_CTYPE on a UTF-8 locale (the environment's when it names one, else C.UTF-8) so
// that lowerCaseUnit maps more than ASCII. Called once at start-up and by tests.
void useUtf8Locale();
