#pragma once
// The unified diff that --diff prints of one changed file. Its lines are the file's bytes
// as read and as written, so that patch -p1 or git apply on an untouched copy makes the
// same bytes; a UTF-16 file is shown as UTF-8 text instead, with a note, for reading.

#include <ostream>
#include <string>

#include "engine/run.h"

// Prints the change of the file that rif names path, from the bytes that report keeps
// (RewriteOptions::keepBytes), to out; in colour when coloured. Nothing when the bytes
// are the same.
void printDiff(std::ostream& out, const std::string& path, const FileReport& report, bool coloured);
