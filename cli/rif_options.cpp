#include "cli/rif_options.h"

#include <iostream>

#include <CLI/CLI.hpp>

int usage(const std::string& message) {
    std::cerr << "rif: " << message << "\n";
    return usageError;
}

bool parseArguments(int argc, char** argv, Settings& settings, int& exitCode) {
    CLI::App app{"Find and replace in many text files.\n\n"
                 "Every file below each folder PATH (at any depth, by extension and name; hidden files and\n"
                 "files that ignore files ignore are left out, as in source-tree tools) and every file\n"
                 "PATH (hidden, ignored or not) is searched; each file in which SEARCH occurs is rewritten\n"
                 "with REPLACEMENT, safely: the new contents go into a new file that replaces the old one\n"
                 "only when complete.\n"
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
    CLI::Option* ext =
        app.add_option("-x,--ext", settings.extensions,
                       "extensions taken from folders: repeat it or separate them with commas; 'c', '.c' and "
                       "'*.c' are the same; '*' takes every file")
            ->allow_extra_args(false)
            ->option_text("LIST")
            ->capture_default_str();
    app.add_option("--name", settings.name, "a regular expression the whole file name without its extension must match")
        ->option_text("PATTERN");
    app.add_option("-g,--glob", settings.globs,
                   "take only files matching GLOB (gitignore-style, matched against the path below its PATH; "
                   "without '/' it matches a name at any depth); '!GLOB' leaves out what it matches, folders "
                   "too; repeatable, the last matching glob decides. When a GLOB without '!' is given, the "
                   "extension list applies only if -x is given too: the glob already says which files are "
                   "wanted, and '-g *.c' should not come back empty because .c is not a default extension")
        ->allow_extra_args(false)
        ->option_text("GLOB");
    app.add_flag("--hidden", settings.hidden,
                 "also take hidden files and folders (names starting with '.'); left out by default");
    app.add_flag("--no-ignore", settings.noIgnore,
                 "take files that ignore files leave out; by default, rif leaves out what .gitignore and .ignore "
                 "files (of the walked folders and of the folders above them up to the repository's top), "
                 "the repository's info/exclude and git's global excludes file ignore, .ignore first");
    app.add_option("--max-depth", settings.maxDepth,
                   "descend at most N levels: 1 takes only the files of each PATH folder itself, 0 none "
                   "of them")
        ->option_text("N");
    app.add_flag("-L,--follow", settings.followLinks,
                 "follow links to folders, even out of the PATH (never into the backup folder or "
                 "version-control metadata; a link to a folder the walk is inside is not followed), and take "
                 "links to files wherever they lead");
    app.add_option("-b,--backup", settings.backup,
                   "copy each file into DIR before changing it, under its path below its PATH (DIR is "
                   "made when missing)")
        ->option_text("DIR");
    app.add_option("--codepage", settings.codepage, "the character set of files without a byte-order mark "
                                                    "(default: the locale's)")
        ->option_text("NAME");
    app.add_flag("--crlf", settings.crlf, "write CR LF after every line (default: keep each file's line ends)");
    app.add_flag("--dry-run", settings.dryRun, "change nothing; report what would change");
    app.add_flag("--diff", settings.diff,
                 "print a unified diff of each change instead of its line, of the file's bytes, which "
                 "patch -p1 and git apply take (UTF-16 files: UTF-8 text, for reading)");
    app.add_flag("--json", settings.json,
                 "JSON Lines on standard output: {\"type\": \"change\" or \"error\", \"data\": {...}} per "
                 "file, then a \"summary\" (--undo: \"restored\", \"error\", \"summary\")");
    app.add_option("--color", settings.color,
                   "colour paths, diffs and errors: auto (on a terminal, unless NO_COLOR is set; the "
                   "default), always or never")
        ->option_text("WHEN")
        ->check(CLI::IsMember({"auto", "always", "never"}));
    CLI::Option* quiet = app.add_flag("-q,--quiet", settings.quiet, "report errors only");
    app.add_flag("-v,--verbose", settings.verbose, "with -, the count and the summary on standard error (for "
                                                   "files they are shown anyway)")
        ->excludes(quiet);
    app.add_option("-j,--jobs", settings.jobs, "files done at once, on as many threads (default: one per core, "
                   "at most 8; 1: one file after another); the results are the same")
        ->option_text("N")
        ->check(CLI::Range(1u, 64u));
    app.add_option("--undo", settings.undo,
                   "undo the last run that made backups into DIR: put back every file it changed that "
                   "still holds what it wrote")
        ->option_text("DIR");
    app.set_version_flag("-V,--version", "rif " RIF_VERSION);
    try {
        app.parse(argc, argv);
        settings.extensionsGiven = ext->count() > 0;
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        exitCode = code == 0 ? 0 : usageError;
        return false;
    }
    return true;
}
