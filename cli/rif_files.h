#pragma once
// The files rif works on: those of each PATH, as the user named them, and why a PATH's
// walk left files out.

#include <string>
#include <vector>

#include "cli/rif_options.h"
#include "engine/file_walk.h"
#include "engine/text.h"

// The files of one PATH argument: the folder they are relative to, and their paths below it.
struct Batch {
    Text root;
    std::vector<Text> relatives;
};

// The extensions of comma-separated lists, without their dots: "c", ".c" and "*.c" all
// give "c"; "*" stays "*" (every file).
std::vector<Text> extensionList(const std::vector<std::string>& lists);

// The user's global git excludes file: core.excludesFile of git's global configuration
// (asked of git once, when a global configuration file exists and git is installed), else
// $XDG_CONFIG_HOME/git/ignore, else ~/.config/git/ignore. Empty when none can be named.
std::string globalExcludesFile();

// The walk's rules that settings ask for.
WalkRules walkRulesOf(const Settings& settings);

// The files of every PATH of settings, in order: a folder walked by rules, a file taken as
// it is, hidden, ignored or not. counts gathers what the walks left out. An empty string,
// or why the PATHs are refused (nothing is touched then).
std::string gatherFiles(const Settings& settings, const WalkRules& rules, std::vector<Batch>& batches,
                        WalkCounts& counts);

// Why no file was searched, naming each filter that left files out and the option that
// takes them.
std::string noFilesSearched(const Settings& settings, const WalkCounts& counts);
