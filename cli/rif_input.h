#pragma once
// rif as a filter: the PATH "-", standard input replaced onto standard output.

#include "cli/rif_options.h"
#include "engine/file_rewrite.h"

// Replaces row in the bytes of standard input as a file with those bytes would be
// rewritten with options (read in its encoding, written back with the same mark, code
// page and line ends) and writes the result to standard output. Standard input is kept in
// an unnamed file in $TMPDIR (else /tmp) meanwhile, so that inputs of any size take no
// more memory than such a file. When nothing is found, or the bytes would not be written
// back unchanged outside the replaced text, the input goes to standard output as it came.
// The exit status, as for files.
int filterStandardInput(const Settings& settings, const PreparedRow& row, RewriteOptions options);
