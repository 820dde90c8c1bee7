#pragma once
// Searches written for lines as a file has them, turned into searches of the text a run
// searches: the file's lines joined by CR LF, whatever line ends the file uses, followed by
// CR LF when its last line has a line end (RewriteOptions::lastLineEndSearched). rif reads
// its SEARCH so; the window keeps its own reading.
//
// In such a search a line break stands for one line end of the file, CR LF, LF or CR:
// - in a plain search, each line break (CR LF, a lone CR, a lone LF);
// - in a regular expression, outside a character class, "\n", "\r" and "\r\n" (or line
//   breaks typed into the pattern) each match one whole line end, and so do "\r?\n" and
//   "\R"; '^' and '$' match at the start and end of every line (lineCompileFlags), '$' at
//   the end of the last line but never after its line end;
// - inside a character class, "\n" and "\r" each stand for both units of a line end, so
//   "[^\n]" never reaches into one and "[\r\n]+" spans any number of them, while "[\n]"
//   alone matches only half of one: a single line end is "\n" outside a class.
// Line breaks typed into a pattern that may turn on the extended option ("(?x)") are the
// pattern's own white space there, and the end of its "#" comments: they become CR LF, the
// line end such patterns are compiled with; "\n" and "\r" are read as above.

#include <cstdint>

#include "engine/replace.h"
#include "engine/text.h"

// The plain search text with every line break in it as CR LF.
Text lineSearch(TextView search);

// The regular expression with its line breaks rewritten as above; everything else, the
// text quoted by "\Q...\E" and comments "(?#...)" included, stays as written.
Text linePattern(TextView pattern);

// The flags of a row's pattern read over lines: compileFlags, with line ends CR LF only
// (newlineCrLf, also with the empty-line option) and a CR LF at the end of the text as
// the last line's end (lastLineEnd).
uint32_t lineCompileFlags(const RowOptions& options);
