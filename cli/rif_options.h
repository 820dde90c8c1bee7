#pragma once
// rif's command line: what the user asked for, read from the arguments, and the exit
// statuses.

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
    std::string extensions = "txt,hta,htm,html";
    std::string name;
    std::string backup;
    std::string codepage;
    bool crlf = false;
    bool dryRun = false;
    bool diff = false;
    bool json = false;
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
