#pragma once
// The unified diff that --diff prints of one changed file.

#include <string>

#include "engine/text.h"

// Prints the change of the file at path from before to after on standard output.
void printDiff(const std::string& path, const Text& before, const Text& after);
