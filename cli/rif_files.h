#pragma once
// The files rif works on: those of each PATH, as the user named them.

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

// The extensions of a comma-separated list, without their dots.
std::vector<Text> extensionList(const std::string& list);

// The files of every PATH of settings, in order: a folder walked by rules, a file taken as
// it is. An empty string, or why the PATHs are refused (nothing is touched then).
std::string gatherFiles(const Settings& settings, const WalkRules& rules, std::vector<Batch>& batches);
