#pragma once
// rif's command line: what the user asked for, read from the arguments, and the exit
// statuses.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Exit statuses.
inline constexpr int someChanged = 0;
inline constexpr int nothingFound = 1;
inline constexpr int usageError = 2;
inline constexpr int someFailed = 3;

// What the arguments ask for. SEARCH, REPLACEMENT and --name are UTF-8 once the arguments
// are read (see decodeArguments); paths are the bytes given.
struct Settings {
    std::string search;
    std::string replacement;
    std::vector<std::string> paths;
    bool regex = false;
    bool ignoreCase = false;
    bool emptyLines = false;
    // Extensions taken from folders, each value a comma-separated list.
    std::vector<std::string> extensions = {"txt,hta,htm,html"};
    bool extensionsGiven = false;  // -x was given
    std::string name;
    std::vector<std::string> globs;  // gitignore-style; "!" excludes
    bool hidden = false;             // take hidden files and folders
    bool noIgnore = false;           // read no ignore files
    size_t maxDepth = SIZE_MAX;      // the files of a PATH folder are at depth 1
    bool followLinks = false;
    std::string backup;
    std::string codepage;
    bool crlf = false;
    bool dryRun = false;
    bool diff = false;
    bool json = false;
    std::string color = "auto";  // when to colour: "auto", "always" or "never"
    bool quiet = false;
    bool verbose = false;  // with "-": the summary on standard error
    unsigned jobs = 0;  // threads of the run; 0: one per core, at most 8
    std::string undo;  // the backup folder whose last run is undone
};

// Prints "rif: message" on standard error; gives the usage error's exit status.
int usage(const std::string& message);

// Reads the arguments into settings. False when rif is to end at once (help or version
// printed, or a usage error told), with exitCode its status.
bool parseArguments(int argc, char** argv, Settings& settings, int& exitCode);
