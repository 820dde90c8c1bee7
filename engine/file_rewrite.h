#pragma once
// The work a run does on one file: read it in its encoding, replace, and write it back
// safely. Pure: no gadgets; paths are file-system bytes.

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

#include "engine/descriptor_io.h"
#include "engine/failure.h"
#include "engine/fingerprint.h"
#include "engine/reached_files.h"
#include "engine/replace.h"
#include "engine/safe_write.h"
#include "engine/text_file.h"

// What happened to one file.
enum class FileOutcome {
    unreadable,   // it could not be opened for reading (missing, a folder, a pipe): skipped
    unsupported,  // its mark announces UTF-16 BE or UTF-32 BE: skipped
    unchanged,    // nothing was found: the file was not touched
    changed,      // it was written back
    failed,       // something was found, but the file could not be changed safely (also
                  // when another holder has it locked) and was left as it was
};

// Called once the new text is ready, before anything is written; false leaves the file
// alone and makes it "failed" (the run's backup copy goes here).
using BeforeWrite = std::function<bool()>;
// Reads, replaces and writes back one file. The text of the file is its lines joined by
// CR LF (no break after the last line, unless RewriteOptions::lastLineEndSearched); the new text is split into lines again at CR LF,
// lone CR and lone LF, and every line, the last included, is written with CR LF after it,
// in the encoding the file was read in and after the same byte-order mark. A text that
// became empty is written as the mark alone (zero bytes for a file without a mark).
// A file in which the reader met a zero unit, a read error, a cut-off last unit or "ansi"
// bytes that its character set does not give back is not written: writing its lines back
// would change bytes that were not replaced.
//
// Reading takes no lock. A file that will be written is locked (lockForWriting) on the
// descriptor it was read through, which stays open until its new contents are in place: a
// file that another holder has locked is left as it was, "failed" (a dry run says so too).
//
// Files are replaced on their bytes where they can be: a UTF-8 file (or "ansi" read as
// UTF-8, or in a single-byte "ansi" set that is byte-exact, SingleByteTable::isByteExact)
// at least RewriteOptions::byteLevelFrom bytes long, a plain search with letter case
// whose text holds no line break, U+0000 or surrogate and whose replacement does not end in
// a high surrogate, without keepOldText. The new bytes are
// streamed into the new file as they are made, without the file's text: the same bytes,
// outcome and count as replacing in the text give (see rewriteBytes). Such a file of 16 MiB
// or more is not held either: it is read a window at a time, so that its size does not
// matter to the memory a run needs.
//
// A regular expression is replaced on the bytes too, for a row that has its UTF-8 twin
// (PreparedRow::utf8Pattern), in a UTF-8 file (or "ansi" read as UTF-8) at least
// RewriteOptions::byteLevelFrom bytes long whose bytes are valid UTF-8 without a zero byte,
// without keepOldText or keepBytes, and with a replacement that has no lone surrogate. The
// file's line ends are made CR LF in the bytes' own storage, so that they are the UTF-8
// form of the file's text, which the twin searches; the new bytes are written from them and
// the places found: the same bytes, outcome and count as through the text (see
// rewriteUtf8Regex). Every other file goes through its UTF-16 text: other encodings and
// character sets, bytes that are not UTF-8 (a '.' matches such a byte there), a zero byte,
// and a pattern with "\C".
//
// A run visits files folder by folder, so a rewriter keeps a descriptor of the last
// folder it wrote in and writes there by bare names. It is used only for a file that it
// still names (the same file as the one read, with no other link to it); otherwise the
// descriptor is opened again, and the file is written by its path, safely (see below).
//
// A file with more than one name (hard link) is left as it was ("failed", hardLinks): a new
// file in its place would leave the other names with the old text. A file that another
// program changed while it was read, replaced and written (its name no longer leads to the
// same file, or that file's size or change time moved) is left as the other program left
// it ("failed", changedMeanwhile); the check is made just before the new file's rename.
// Every check that can refuse a file is made before its backup copy.
//
// One rewriter serves one run, in which each file is read and written at most once: the
// same file under another name (a symbolic link to it, another hard link) is left alone
// and "unchanged". A file is known by its device and inode, both as it was read and as
// the new file written over it. The rewriters of a run on several threads share what
// they reached (ReachedFiles), one rewriter per thread.
// How a run reads and writes its files.
struct RewriteOptions {
    // The character set of files without a byte-order mark (an iconv name); empty: UTF-8.
    std::string ansiCharset;
    // Write each line's own line end back (CR LF, LF or CR as it was read; a last line
    // without one stays so), and the replacement's line breaks as the file's first line
    // end, instead of CR LF after every line: every byte outside the replaced text stays.
    bool keepLineEnds = false;
    // Find and replace, but write nothing and make no copy: "changed" says what would be,
    // "failed" also where the write would be refused (a read-only file or folder, a file
    // in use).
    bool dryRun = false;
    // Keep each file's text before the replacement (lastOldText), for showing the change.
    bool keepOldText = false;
    // Keep the bytes of each change, for showing it byte for byte (takeLastBytes): the
    // file's bytes as read, and the new file's bytes as written (in a dry run, made in
    // memory exactly as the write would make them).
    bool keepBytes = false;
    // Files of at least this many bytes are replaced on their bytes where they can be (see
    // above): every such file by default. A larger figure makes smaller files go through
    // their text, which lastNewText then gives.
    size_t byteLevelFrom = 0;
    // The text searched ends with CR LF when the file's last line has a line end, so that
    // a search can find that line end too (see line_pattern.h); it is written back as it
    // was unless a replacement took it. Without it the text ends with the last line.
    bool lastLineEndSearched = false;
    // A descriptor that the new contents of a changed file go to, after its mark, instead
    // of the file: the file is not written, nor checked for the write (links, lock,
    // permissions), and beforeWrite and beforeRename are not called. -1: the file itself.
    // The descriptor gets nothing unless the file is "changed", or "failed" with
    // writeFailed (its new contents were begun there and could not be finished).
    int output = -1;
};

class FileRewriter {
public:
    // shared: what the run's other rewriters reached; null for a rewriter of its own run.
    explicit FileRewriter(RewriteOptions options = {}, ReachedFiles* shared = nullptr);
    ~FileRewriter();
    FileRewriter(const FileRewriter&) = delete;
    FileRewriter& operator=(const FileRewriter&) = delete;

    // Reading and replacing need memory for the whole file (except a large file replaced on
    // its bytes): a file for which there is not enough is left alone as "failed".
    // The files of a rewriter's own run are its list in the order they are given.
    FileOutcome rewrite(const std::string& path, const PreparedRow& row, const BeforeWrite& beforeWrite,
                        const BeforeRename& beforeRename = {});
    // The file at index of a shared run's list (each index once, by any of its rewriters).
    FileOutcome rewrite(size_t index, const std::string& path, const PreparedRow& row,
                        const BeforeWrite& beforeWrite, const BeforeRename& beforeRename = {});

    // Opens the file at index of a shared run's list before its rewrite (which follows, for
    // the same index and path, after those of the files opened ahead of it): its place in the
    // list is reached now, so that the entries after it need not wait for its turn to come.
    // Files opened ahead and not rewritten are let go at the next rewrite of a later index,
    // or with the rewriter.
    void openAhead(size_t index, const std::string& path);
    // Reaches the files opened ahead since the last call, all at once (a rewrite reaches
    // them itself when they were not).
    void reachOpenedAhead();

    // Of the last file rewritten: how many places were replaced (0 unless "changed"), and
    // its text before and after (the text as it is searched, for a change that was made or
    // would be; before only with keepOldText). A file replaced on its bytes has no text:
    // after it lastNewText() is empty, while lastReplacements() is exact all the same.
    size_t lastReplacements() const { return replacements_; }
    const Text& lastOldText() const { return oldText_; }
    const Text& lastNewText() const { return text_; }
    // Why the last file was left as it was, when it was ("failed" or "unreadable").
    const Failure& lastFailure() const { return failure_; }
    // The encoding the last file was read in, and (with keepLineEnds, when it was replaced
    // through its text) its line ends.
    TextFormat lastFormat() const { return format_; }
    const LineEnds& lastLineEnds() const { return lineEnds_; }
    // With keepBytes, of the last file if it changed (or would, in a dry run): its bytes as
    // read and its new bytes, marks and line ends included. Hands them over, leaving none.
    void takeLastBytes(std::string& before, std::string& after);

private:
    RewriteOptions options_;
    // The "ansi" set's conversions, when it is a single-byte set (see SingleByteTable).
    std::unique_ptr<const SingleByteTable> singleByteTable_;

    FileOutcome rewriteFile(size_t index, const std::string& path, const PreparedRow& row,
                            const BeforeWrite& beforeWrite, const BeforeRename& beforeRename);
    // The search text's bytes that a file read in format is replaced on: its UTF-8 form, or
    // its form in a single-byte "ansi" set that is byte-exact (SingleByteTable::isByteExact);
    // null when there are none.
    const std::string* byteNeedle(TextFormat format, const TextFile& file) const;
    bool byteExactCodePage() const;
    // The replacement in the same encoding.
    std::string replacementBytes(const PreparedRow& row, TextFormat format, TextFile& file) const;
    // True when the file of size bytes read in format is replaced on its bytes (see above).
    bool replacesBytes(const PreparedRow& row, TextFormat format, const TextFile& file, size_t size) const;
    // The rest of rewriteFile for a file replaced on its bytes; file is its open reader.
    FileOutcome rewriteBytes(size_t index, const std::string& path, const PreparedRow& row, TextFile& file,
                             const struct stat& opened, TextFormat format, const BeforeWrite& beforeWrite,
                             const BeforeRename& beforeRename);
    // rewriteBytes for a file of at least streamFrom bytes, read only in part into bytes_:
    // its bytes are read a window at a time, in a fixed amount of memory.
    FileOutcome rewriteStreamedBytes(size_t index, const std::string& path, const PreparedRow& row, TextFile& file,
                                     const struct stat& opened, TextFormat format, const BeforeWrite& beforeWrite,
                                     const BeforeRename& beforeRename);
    // True when the file read into bytes_ in format may be replaced with the row's regular
    // expression on its bytes (see above), if they are valid UTF-8 without a zero byte.
    bool mayTakeUtf8Regex(const PreparedRow& row, TextFormat format, const TextFile& file) const;
    // The rest of rewriteFile for such a file (in utf8_regex_rewrite.cpp); nothing, with
    // bytes_ as they were, when its bytes are not valid UTF-8 or hold a zero byte.
    std::optional<FileOutcome> rewriteUtf8Regex(size_t index, const std::string& path, const PreparedRow& row,
                                                TextFile& file, const struct stat& opened, TextFormat format,
                                                const BeforeWrite& beforeWrite, const BeforeRename& beforeRename);
    // What a file needs once its change is known, on either path: "failed" when it may not
    // be written (a dry run only tells), else the file written by body after the mark.
    FileOutcome finishChange(size_t index, const std::string& path, TextFile& file, const struct stat& opened,
                             TextFormat format, const BeforeWrite& beforeWrite, const BeforeRename& beforeRename,
                             const std::function<void(TextFile&)>& body);
    // The new contents written to RewriteOptions::output instead of the file.
    FileOutcome writeOutput(TextFormat format, const std::function<void(TextFile&)>& body);

    // The files read or written in this run.
    std::unique_ptr<ReachedFiles> ownReached_;
    ReachedFiles* reached_;
    size_t ownIndex_ = 0;  // the next index of the rewriter's own run
    ReachClaim* claim_ = nullptr;  // the claim of the file being rewritten
    // A file opened ahead of its rewrite, and reached.
    struct OpenedAhead {
        size_t index = 0;
        std::unique_ptr<ReachClaim> claim;
        OwnedDescriptor descriptor;  // none when it could not be opened, or was seen
        struct stat status = {};
        int error = 0;      // why it could not be opened
        bool seen = false;  // an earlier entry reached the file, or the run wrote it
        bool reached = false;
    };
    std::vector<size_t> aheadIndices_;             // reachOpenedAhead's storage
    std::vector<const struct stat*> aheadFiles_;
    std::deque<OpenedAhead> ahead_;
    OpenedAhead* aheadNow_ = nullptr;  // the one being rewritten
    Failure failure_;
    // Sets failure_ and gives "failed".
    FileOutcome fail(FailureCause cause, int error = 0);

    // Writes the new contents (the mark of format, then what body writes) to the file at
    // path (the entry at index), which had the status opened when it was read and is still
    // open on original (its attributes go to the new file); the new file is made known to
    // reached_.
    bool writeBack(size_t index, const std::string& path, int original, const struct stat& opened,
                   TextFormat format, const BeforeRename& beforeRename, const std::function<void(TextFile&)>& body,
                   Failure& failure);
    // A descriptor of folder (a path ending with "/"), opened again when fresh; -1 when
    // it cannot be opened.
    int folderDescriptor(std::string_view folder, bool fresh);
    void closeFolder();

    std::string folder_;   // the folder folderFd_ is a descriptor of
    int folderFd_ = -1;

    // Bytes of the file that larger storage is released after.
    static constexpr size_t largeFileBytes = 16 * 1024 * 1024;
    // Files of at least this many bytes that are replaced on their bytes are not held.
    static constexpr size_t streamFrom = largeFileBytes;
    std::vector<char> window_;  // the window such a file is read through

    void prepareNeedles(const PreparedRow& row);
    // False when no match of the row (with letter case) can occur in the text of a file
    // with these bytes: the bytes, in the file's encoding, of the search text (of the
    // characters every match of the regular expression begins with) are not there.
    bool mayHold(std::string_view bytes, TextFormat format, bool ansiAsUtf8) const;

    FileBytes bytes_;    // the file's bytes; storage reused from file to file
    Text text_;          // the file's text; storage reused from file to file
    LineEnds lineEnds_;  // the file's line ends, when they are kept
    Text newText_;       // the new text built beside text_ when line ends are kept
    Text oldText_;       // the text before the replacement, with keepOldText
    std::string oldBytes_;  // the file's bytes, with keepBytes
    std::string newBytes_;  // its new bytes, with keepBytes
    size_t replacements_ = 0;
    TextFormat format_ = TextFormat::ansi;

    // The rewriter's match state for the row's pattern, kept from file to file.
    Matcher matcher_;
    Utf8Matcher utf8Matcher_;  // and for its UTF-8 twin
    // replaceInText for keepLineEnds: the new text, with the file's own line ends, in text_.
    ReplaceResult replaceKeepingLineEnds(const PreparedRow& row);
    bool needlesReady_ = false;
    Text needleSearch_;        // the search text the needles below are for
    bool needleRegex_ = false;  // and whether it is a regular expression
    std::string utf8Needle_;   // its UTF-8 bytes; empty when the bytes cannot tell
    std::string utf16Needle_;  // its UTF-16LE bytes; empty when the bytes cannot tell
    std::string codePageNeedle_;  // its bytes in a single-byte "ansi" code page; empty when
                                  // the bytes cannot tell
};
