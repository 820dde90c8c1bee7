#include "cli/rif_options.h"

#include <iostream>

#include <CLI/CLI.hpp>

int usage(const std::string& message) {
    std::cerr << "rif: " << message << "\n";
    return usageError;
}

bool parseArguments(int argc, char** argv, Settings& settings, int& exitCode) {
    CLI::App app{"Find and replace in many text files.\n\n"
                 "Every file below each folder PATH (at any depth, by extension and name) and every file\n"
                 "PATH is searched; each file in which SEARCH occurs is rewritten with REPLACEMENT, safely:\n"
                 "the new contents go into a new file that replaces the old one only when complete.\n"
                 "Version-control metadata (.git, .hg, .svn, .bzr, _darcs and CVS folders, .git files)\n"
                 "is never entered, and a PATH inside it is refused.\n\n"
                 "With --backup DIR, the run keeps a journal in DIR, and rif --undo DIR puts the files\n"
                 "back as they were before it.\n\n"
                 "The PATH - reads standard input and writes the result to standard output, as a file\n"
                 "with those bytes would be written (encoding, mark, code page, line ends), with no\n"
                 "backup; -v adds the count and the summary on standard error. When nothing is found\n"
                 "(exit 1) or when the bytes could not be written back unchanged outside the replaced\n"
                 "text (a zero byte, ...: exit 3), the input is copied to the output as it came. It\n"
                 "takes no other PATH, nor --backup, --dry-run, --diff or --json.\n\n"
                 "Lines: SEARCH is looked for over each file's lines as the file has them. A line break\n"
                 "in SEARCH, and \\n, \\r, \\r\\n or \\r?\\n in a regular expression, match one line end\n"
                 "(CR LF, LF or CR; the last line's end too); ^ and $ match at the start and end of\n"
                 "every line, $ never after the last line's end; in a class, \\n stands for both units\n"
                 "of a line end, so [^\\n] never reaches into one. A line break in REPLACEMENT is\n"
                 "written as the file's line end.\n\n"
                 "SEARCH, REPLACEMENT and --name are read in the character set of your locale (LC_ALL,\n"
                 "LC_CTYPE, LANG); an argument that is not valid there is a usage error. Paths are taken\n"
                 "as the bytes given.\n\n"
                 "Exit status: 0 some file changed (or would, with --dry-run; restored, with --undo),\n"
                 "1 nothing found (nothing to undo), 2 usage error, a pattern that does not compile, a\n"
                 "refused run or a damaged journal, 3 some file failed (or was left alone by --undo).",
                 "rif"};
    app.add_option("SEARCH", settings.search, "the text to find (a regular expression with --regex)");
    app.add_option("REPLACEMENT", settings.replacement,
                   "what to put in its place (\\1: group 1 with --regex; $1 and ${1} are put in as they are, "
                   "with a note on standard error)");
    app.add_option("PATH", settings.paths, "folders to walk and files to take; - for standard input");
    app.add_flag("-e,--regex", settings.regex, "SEARCH is a regular expression (PCRE2)");
    app.add_flag("-i,--ignore-case", settings.ignoreCase, "ignore letter case");
    app.add_flag("--empty-lines", settings.emptyLines,
                 "also remove the line break after each match, the last line's too (needs --regex)");
    app.add_option("-x,--ext", settings.extensions, "extensions taken from folders, comma-separated; '*' takes every file")
        ->capture_default_str();
    app.add_option("--name", settings.name, "a regular expression the whole file name without its extension must match");
    app.add_option("-b,--backup", settings.backup,
                   "copy each file into DIR before changing it, under its path below its PATH");
    app.add_option("--codepage", settings.codepage, "the character set of files without a byte-order mark "
                                                    "(default: the locale's)");
    app.add_flag("--crlf", settings.crlf, "write CR LF after every line (default: keep each file's line ends)");
    app.add_flag("--dry-run", settings.dryRun, "change nothing; report what would change");
    app.add_flag("--diff", settings.diff, "print a unified diff of each change instead of its line");
    app.add_flag("--json", settings.json, "JSON Lines on standard output: one object per changed or failed file, "
                                          "then a summary");
    CLI::Option* quiet = app.add_flag("-q,--quiet", settings.quiet, "report errors only");
    app.add_flag("-v,--verbose", settings.verbose, "with -, the count and the summary on standard error (for "
                                                   "files they are shown anyway)")
        ->excludes(quiet);
    app.add_option("-j,--jobs", settings.jobs, "files done at once, on as many threads (default: one per core, "
                   "at most 8; 1: one file after another); the results are the same")
        ->check(CLI::Range(1u, 64u));
    app.add_option("--undo", settings.undo,
                   "undo the last run that made backups into DIR: put back every file it changed that "
                   "still holds what it wrote")
        ->option_text("DIR");
    app.set_version_flag("--version", "rif " RIF_VERSION);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        exitCode = code == 0 ? 0 : usageError;
        return false;
    }
    return true;
}
