#pragma once
// Why the engine left a file as it was: its own reason and the system's error number.

// Why a file was left as it was (outcome "failed" or "unreadable"), as far as the run can
// tell; with the system's error number where one is known.
enum class FailureCause {
    none,
    unreadable,        // it could not be opened or read
    pathTooLong,       // its path is longer than the system opens
    notWholeText,      // writing its text back would change bytes that were not replaced (a
                       // zero byte, bytes its character set cannot give back, a cut-off
                       // last character, a read error)
    notWritable,       // the file or its folder may not be written
    inUse,             // another holder has it locked
    hardLinks,         // it has other names (hard links), which would keep the old text
    changedMeanwhile,  // another program changed it while the run read, replaced and wrote it
    backupFailed,      // its backup copy could not be made or recorded
    outOfMemory,       // there is not enough memory for it
    matchLimit,        // the regular-expression engine gave up on it
    writeFailed,       // its new contents could not be written (no room left, ...)
};

// What became of a file that was left as it was.
struct Failure {
    FailureCause cause = FailureCause::none;
    int error = 0;  // errno, where the system gave one
};
