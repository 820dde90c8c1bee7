#pragma once
// A file is written safely (the rewriter's writes and restoreFromBackup): its new
// contents go into a new file in the folder of the file, which is renamed over the file:
// until the rename the original is untouched, and on any failure it stays as it was and the
// new file is removed. The new file has no name until it is complete where the file system
// allows (so a crash leaves none behind). It keeps the original's permission bits, its
// extended attributes and access ACL (see carryAttributes) and, where the process may set
// them, its owner and group. A symbolic link stays a link: its target is rewritten. A file
// that the process may not open for writing, and a file or folder without any write bit
// (for every user, the administrator too), are refused.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "engine/failure.h"
#include "engine/fingerprint.h"
#include "engine/reached_files.h"
#include "engine/text_file.h"

// Called with the fingerprint of the new bytes once they are complete, just before they
// take the file's place; false leaves the file as it was and makes it "failed" (the run's
// journal entry goes here).
using BeforeRename = std::function<bool(const Fingerprint& written)>;

// Writes a file's new contents after its mark.
using BodyWriter = std::function<void(TextFile&)>;

// How new contents go into a file: the encoding (whose mark comes first), the "ansi"
// character set (empty: UTF-8), and who is told the fingerprint of
// the new bytes before they take the file's place (none when null).
struct NewContents {
    TextFormat format;
    std::string_view charset;
    const BeforeRename* beforeRename = nullptr;
    ReachedFiles* reached = nullptr;  // told the new file before it takes the old one's place
    size_t index = 0;                 // as the entry at this index of the run's list
    // The file's status when it was read: the new file takes its place only if it is still
    // so (none: no check).
    const struct stat* read = nullptr;
    int original = -1;                // the file as it was read, open: its attributes are carried
    const SingleByteTable* table = nullptr;  // the charset's conversions, when it has them
};

// Where the last "/" of a path is cut: the folder (with its "/", "./" without one) and
// the name.
std::string folderOf(const std::string& path);
const char* nameOf(const std::string& path);
// A descriptor of a folder for the *at calls; -1 on failure.
int openFolder(const std::string& folder);

// Writes the regular file name in folder (a descriptor) whose status is info safely, with
// the contents that body writes after the mark; written is the new file's status (zeroed
// when unknown). False with failure saying why; the file is then as it was.
bool writeInFolder(int folder, const char* name, const struct stat& info, const NewContents& encoding,
                   const BodyWriter& body, struct stat& written, Failure& failure);
// writeInFolder for the file at path: a symbolic link's target, the file itself otherwise.
bool writeByPath(const std::string& path, const NewContents& encoding, const BodyWriter& body, struct stat& written,
                 Failure& failure);
// What a dry run can tell of the write without making it: the checks writeInFolder makes
// first, and whether a new file may be made in the folder.
bool mayBeRewritten(const std::string& path);

// Copies a file byte for byte into the folder that folder (a descriptor) is, under name,
// through a temporary file there renamed into place, replacing an earlier file of that
// name. The copy keeps the source's permission bits, extended attributes and access ACL
// (see carryAttributes: it gets none from the target folder's default ACL) and its
// modification time. False (and nothing left behind) on failure. With copied, the
// fingerprint of the bytes copied.
bool copyFileIntoFolder(const std::string& from, int folder, const char* name, Fingerprint* copied = nullptr);

// What became of a file that an undo puts back.
enum class RestoreOutcome {
    restored,         // it held what the run wrote and now holds its backup copy's bytes
    alreadyRestored,  // it holds its backup copy's bytes already: nothing was written
    editedSince,      // it holds other bytes than the run wrote: left alone
    missing,          // it is not there any more: left alone
    backupMissing,    // its backup copy cannot be read: left alone
    backupChanged,    // its backup copy is not the one the run made: left alone
    failed,           // it could not be read or written safely: left as it was
};

// What became of a file that an undo puts back, and for "failed", the system's error
// number where it gave one.
struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::failed;
    int error = 0;
};

// Puts the bytes of the backup copy back into the file at path (its target, when path is
// a symbolic link) if the file still holds what a run wrote, which had the fingerprint
// written, and the copy is the one the run made, which had the fingerprint copied. Written
// safely (see the top of this file): a new file, renamed into place, with the file's permission
// bits, extended attributes and access ACL and, where the process may set it, its owner; a
// file that another program changes meanwhile is left as that program left it
// ("editedSince").
RestoreResult restoreFromBackup(const std::string& backup, const std::string& path, const Fingerprint& written,
                                const Fingerprint& copied);
