#include "engine/file_rewrite.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <new>
#include <optional>
#include <system_error>
#include <algorithm>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/change_bytes.h"
#include "engine/byte_replace.h"
#include "engine/descriptor_io.h"
#include "engine/line_end_keeper.h"
#include "engine/file_attributes.h"
#include "engine/real_path.h"
#include "engine/regex.h"
#include "engine/single_byte_form.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

bool isLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

// The index of the first CR or LF at or after from, or text.size().
size_t findLineEnd(TextView text, size_t from) {
    const char16_t* const data = text.data();
    const size_t n = text.size();
    size_t i = from;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi16(u'\r');
    const __m128i lf = _mm_set1_epi16(u'\n');
    for (; n - i >= 8; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(units, cr), _mm_cmpeq_epi16(units, lf)));
        if (mask != 0) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
    }
#endif
    while (i < n && !isLineEnd(data[i])) ++i;
    return i;
}

// Takes a line break (CR LF, CR or LF) off the end of text.
void dropLastLineBreak(Text& text) {
    if (text.ends_with(u"\r\n")) text.resize(text.size() - 2);
    else if (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) text.pop_back();
}

void writeLines(TextFile& file, TextView text, TextFormat format) {
    if (text.empty()) return;
    size_t start = 0;
    for (;;) {
        const size_t end = findLineEnd(text, start);
        writeLine(file, text.substr(start, end - start), format);
        if (end == text.size()) return;
        start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
    }
}

}  // namespace

ReplaceResult FileRewriter::replaceKeepingLineEnds(const PreparedRow& row) {
    newText_.clear();
    newText_.reserve(text_.size() + text_.size() / 16);
    LineEndKeeper keeper(text_, lineEnds_, options_.lastLineEndSearched, newText_);
    size_t count = 0;
    const ReplaceResult result = findReplacements(text_, row, [&](size_t start, size_t length, TextView replacement) {
        ++count;
        keeper.edit(start, length, replacement);
    }, &matcher_);
    if (result != ReplaceResult::changed) return result;
    replacements_ = count;
    keeper.finish();
    text_.swap(newText_);
    if (newText_.capacity() > largeFileBytes) newText_ = Text();
    return result;
}

FileRewriter::FileRewriter(RewriteOptions options, ReachedFiles* shared)
    : options_(std::move(options)),
      singleByteTable_(SingleByteTable::make(options_.ansiCharset)),
      ownReached_(shared == nullptr ? std::make_unique<ReachedFiles>() : nullptr),
      reached_(shared == nullptr ? ownReached_.get() : shared) {}

void FileRewriter::prepareNeedles(const PreparedRow& row) {
    if (needlesReady_ && needleSearch_ == row.search && needleRegex_ == row.options.useRegex) return;
    needlesReady_ = true;
    needleSearch_ = row.search;
    needleRegex_ = row.options.useRegex;
    utf8Needle_.clear();
    utf16Needle_.clear();
    codePageNeedle_.clear();
    // A regular expression with letter case is looked for by the characters all its
    // matches begin with (none of them U+FFFF, which the matcher sees for a lone
    // surrogate); without such characters every file takes the normal path.
    const Text needle = row.options.useRegex ? leadingLiteral(row.search) : row.search;
    if (needle.empty()) return;
    bool lineEnd = false;
    bool surrogate = false;
    for (const char16_t unit : needle) {
        lineEnd = lineEnd || unit == u'\r' || unit == u'\n' || unit == 0;
        surrogate = surrogate || (unit >= 0xD800 && unit <= 0xDFFF);
        utf16Needle_.push_back(static_cast<char>(unit & 0xFF));
        utf16Needle_.push_back(static_cast<char>(unit >> 8));
    }
    if (lineEnd) utf16Needle_.clear();
    if (!lineEnd && !surrogate) {
        utf8Needle_ = textToUtf8(needle);
        codePageNeedle_ = singleByteForm(options_.ansiCharset, needle);
    }
}

// Why a search text whose bytes are not in the file cannot be in its text either:
// - The text is the file's lines joined by CR LF, and a line never holds CR, LF or U+0000
//   (they end lines), so an occurrence of a search text without them lies inside one line.
// - UTF-8 (and "ansi" decoded as UTF-8) is decoded losslessly: each character of a line
//   comes from its own shortest-form UTF-8 bytes, and a byte that is not part of a valid
//   sequence becomes an escape unit U+DC80..U+DCFF. A search text without surrogate units
//   (an escape unit or half of a pair could come from bytes that do not encode it alone) is
//   thus found in a line only where its UTF-8 bytes are in the line's bytes.
// - UTF-16LE units are the file's byte pairs after the two-byte mark, so an occurrence is
//   the search text's little-endian bytes at an even offset. A hit at an odd offset only
//   sends the file down the normal path.
// - In a single-byte code page each unit of an "ansi" line comes from its own byte (a byte
//   that does not convert becomes an escape unit), and singleByteForm gives a search text
//   bytes only where each of its characters comes from one byte and no other.
bool FileRewriter::mayHold(std::string_view bytes, TextFormat format, bool ansiAsUtf8) const {
    const bool utf8Bytes = format == TextFormat::utf8 || (format == TextFormat::ansi && ansiAsUtf8);
    const bool codePageBytes = format == TextFormat::ansi && !ansiAsUtf8;
    const bool byteFormat = utf8Bytes || codePageBytes;
    const std::string* needle = utf8Bytes                        ? &utf8Needle_
                                : codePageBytes                  ? &codePageNeedle_
                                : format == TextFormat::utf16le ? &utf16Needle_
                                                                  : nullptr;
    if (needle == nullptr || needle->empty()) return true;
    const char* const data = bytes.data();
    const char* const end = data + bytes.size();
    for (const char* p = data; (p = findBytes(p, end, *needle)) != end; ++p) {
        if (byteFormat || (p - data) % 2 == 0) return true;
    }
    return false;
}

FileRewriter::~FileRewriter() { closeFolder(); }

void FileRewriter::closeFolder() {
    if (folderFd_ >= 0) ::close(folderFd_);
    folderFd_ = -1;
    folder_.clear();
}

int FileRewriter::folderDescriptor(std::string_view folder, bool fresh) {
    if (!fresh && folderFd_ >= 0 && folder == folder_) return folderFd_;
    closeFolder();
    std::string path(folder);
    folderFd_ = openFolder(path);
    if (folderFd_ >= 0) folder_ = std::move(path);
    return folderFd_;
}

bool FileRewriter::writeBack(size_t index, const std::string& path, int original, const struct stat& opened,
                             TextFormat format, const BeforeRename& beforeRename, const BodyWriter& body,
                             Failure& failure) {
    const NewContents encoding{format, options_.ansiCharset, beforeRename ? &beforeRename : nullptr, reached_, index,
                            &opened, original, singleByteTable_.get()};
    const size_t slash = path.find_last_of('/');
    const std::string_view folder = slash == std::string::npos ? std::string_view("./")
                                                                : std::string_view(path).substr(0, slash + 1);
    const char* const name = nameOf(path);
    // With a single link, the file read has no other name than the one at the folder
    // descriptor's name: the descriptor is still the folder of path. A link to another
    // file, another file at the name, or a folder renamed or removed since the
    // descriptor was opened: the descriptor is opened again, and when that does not
    // find the file either, the path is followed (writeByPath).
    struct stat written = {};
    bool ok = false;
    bool tried = false;
    if (opened.st_nlink == 1 && *name != 0) {
        for (const bool fresh : {false, true}) {
            const int fd = folderDescriptor(folder, fresh);
            if (fd < 0) break;
            struct stat entry;
            if (::fstatat(fd, name, &entry, AT_SYMLINK_NOFOLLOW) == 0) {
                if (!S_ISREG(entry.st_mode)) break;
                if (entry.st_dev == opened.st_dev && entry.st_ino == opened.st_ino) {
                    ok = writeInFolder(fd, name, entry, encoding, body, written, failure);
                    tried = true;
                    break;
                }
            }
        }
    }
    if (!tried) ok = writeByPath(path, encoding, body, written, failure);
    return ok;
}

void FileRewriter::openAhead(size_t index, const std::string& path) {
    struct stat status = {};
    errno = 0;
    OwnedDescriptor descriptor(openFileForReading(path, status));
    // Out of descriptors: the file is opened in its turn instead, once others are closed.
    if (descriptor.fd() < 0 && (errno == EMFILE || errno == ENFILE)) return;
    OpenedAhead& ahead = ahead_.emplace_back();
    ahead.index = index;
    ahead.error = errno;
    ahead.claim = std::make_unique<ReachClaim>(*reached_, index);
    ahead.descriptor = std::move(descriptor);
    ahead.status = status;
}

void FileRewriter::reachOpenedAhead() {
    std::vector<size_t>& indices = aheadIndices_;
    std::vector<const struct stat*>& files = aheadFiles_;
    indices.clear();
    files.clear();
    for (OpenedAhead& ahead : ahead_) {
        if (ahead.reached) continue;
        indices.push_back(ahead.index);
        files.push_back(ahead.descriptor.fd() >= 0 ? &ahead.status : nullptr);
    }
    std::unique_ptr<bool[]> first(new bool[indices.size()]);
    reached_->reachAll(indices.data(), files.data(), first.get(), indices.size());
    size_t i = 0;
    for (OpenedAhead& ahead : ahead_) {
        if (ahead.reached) continue;
        ahead.reached = true;
        ahead.claim->reachedWith(files[i]);
        // A file already read or written in this run is not read again.
        ahead.seen = files[i] != nullptr && !first[i];
        if (ahead.seen) ahead.descriptor.reset();
        ++i;
    }
}

FileOutcome FileRewriter::rewrite(const std::string& path, const PreparedRow& row,
                                  const BeforeWrite& beforeWrite, const BeforeRename& beforeRename) {
    return rewrite(ownIndex_++, path, row, beforeWrite, beforeRename);
}

FileOutcome FileRewriter::rewrite(size_t index, const std::string& path, const PreparedRow& row,
                                  const BeforeWrite& beforeWrite, const BeforeRename& beforeRename) {
    // Every index is reached, also when its file could not be opened or its work threw:
    // later entries wait for it. A file opened ahead was reached then.
    std::optional<OpenedAhead> ahead;
    // Files opened ahead and never rewritten (they were reached all the same) are let go.
    while (!ahead_.empty() && ahead_.front().index < index) ahead_.pop_front();
    if (!ahead_.empty() && ahead_.front().index == index) {
        if (!ahead_.front().reached) reachOpenedAhead();
        ahead.emplace(std::move(ahead_.front()));
        ahead_.pop_front();
    }
    std::optional<ReachClaim> ownClaim;
    ReachClaim& claim = ahead ? *ahead->claim : ownClaim.emplace(*reached_, index);
    claim_ = &claim;
    aheadNow_ = ahead ? &*ahead : nullptr;
    failure_ = Failure();
    // A file too large for the memory there is fails alone; the run goes on with the next.
    FileOutcome outcome;
    try {
        outcome = rewriteFile(index, path, row, beforeWrite, beforeRename);
    } catch (const std::bad_alloc&) {
        bytes_ = FileBytes();
        text_ = Text();
        outcome = fail(FailureCause::outOfMemory, ENOMEM);
    } catch (const std::exception&) {
        outcome = fail(FailureCause::writeFailed);
    }
    // A file that another name earlier in the list reaches too is that name's to report.
    if (outcome != FileOutcome::unchanged && outcome != FileOutcome::changed && !claim.isFirst()) {
        outcome = FileOutcome::unchanged;
        failure_ = Failure();
    }
    claim_ = nullptr;
    aheadNow_ = nullptr;
    // Places are counted only for a change made (or, in a dry run, one that would be).
    if (outcome != FileOutcome::changed) replacements_ = 0;
    return outcome;
}

FileOutcome FileRewriter::rewriteFile(size_t index, const std::string& path, const PreparedRow& row,
                                      const BeforeWrite& beforeWrite, const BeforeRename& beforeRename) {
    replacements_ = 0;
    oldText_.clear();
    oldBytes_.clear();
    newBytes_.clear();
    struct stat opened;
    // A file already read or written in this run is not read again.
    bool seen = false;
    errno = 0;
    const bool needles = findMode(row.options) == 0 && !row.search.empty();
    if (needles) prepareNeedles(row);
    // A large file that may be replaced on its bytes is read only in part at first: read
    // whole only when it is not.
    const bool mayStream = needles && !row.options.useRegex && !options_.keepBytes &&
                           (!utf8Needle_.empty() || (byteExactCodePage() && !codePageNeedle_.empty()));
    // A file that may be searched on its bytes gets room for its line ends made CR LF
    // beside them (room that is never touched costs no memory).
    const auto makeRoom = [&](const struct stat& info) {
        if (row.utf8Pattern != nullptr && info.st_size > 0) {
            const size_t size = static_cast<size_t>(info.st_size);
            bytes_.size = 0;
            bytes_.reserve(size + size / 8 + 64);
        }
    };
    const size_t partFrom = mayStream ? std::max(streamFrom, options_.byteLevelFrom) : SIZE_MAX;
    std::unique_ptr<TextFile> file;
    if (aheadNow_ != nullptr) {
        seen = aheadNow_->seen;
        errno = aheadNow_->error;
        if (aheadNow_->descriptor.fd() >= 0) {
            opened = aheadNow_->status;
            makeRoom(opened);
            file = readOpenedFile(aheadNow_->descriptor.release(), opened, bytes_, options_.ansiCharset, partFrom);
        }
    } else {
        file = openWholeFile(
            path, bytes_, opened,
            [&](const struct stat& info) {
                seen = !claim_->reach(&info);
                if (!seen) makeRoom(info);
                return !seen;
            },
            options_.ansiCharset, partFrom);
    }
    if (!file) {
        if (seen) return FileOutcome::unchanged;
        failure_ = {errno == ENAMETOOLONG ? FailureCause::pathTooLong : FailureCause::unreadable, errno};
        return FileOutcome::unreadable;
    }
    file->codec.useTable(singleByteTable_.get());
    TextFormat format = detectFormat(*file);
    if (!bytes_.whole) {
        if (replacesBytes(row, format, *file, static_cast<size_t>(opened.st_size))) {
            format_ = format;
            return rewriteStreamedBytes(index, path, row, *file, opened, format, beforeWrite, beforeRename);
        }
        readRestOfFile(*file, bytes_);
        format = detectFormat(*file);
    }
    format_ = format;
    if (format != TextFormat::ansi && format != TextFormat::utf8 && format != TextFormat::utf16le)
        return FileOutcome::unsupported;
    if (needles && !mayHold(bytes_.view(), format, decodesAnsiAsUtf8(*file))) return FileOutcome::unchanged;
    if (mayTakeUtf8Regex(row, format, *file)) {
        const std::optional<FileOutcome> outcome =
            rewriteUtf8Regex(index, path, row, *file, opened, format, beforeWrite, beforeRename);
        if (outcome) {
            file.reset();
            if (bytes_.capacity > largeFileBytes) bytes_ = FileBytes();
            return *outcome;
        }
    }
    if (replacesBytes(row, format, *file, bytes_.size)) {
        const FileOutcome outcome = rewriteBytes(index, path, row, *file, opened, format, beforeWrite, beforeRename);
        file.reset();
        if (bytes_.capacity > largeFileBytes) bytes_ = FileBytes();
        return outcome;
    }
    if (options_.keepLineEnds || options_.lastLineEndSearched) readText(*file, format, text_, lineEnds_);
    else readText(*file, format, text_);
    if (options_.lastLineEndSearched && lineEnds_.last) text_.append(u"\r\n");
    const bool whole = !sawZeroUnit(*file) && !readFailed(*file) && !sawIncompleteUnit(*file) &&
                       !sawIrreversibleBytes(*file);
    // A large file's bytes are not kept beside its text and the new text, unless the
    // change's bytes are. The reader has read all of them; its descriptor stays open until
    // the new file is in place.
    if (bytes_.capacity > largeFileBytes && !options_.keepBytes) bytes_ = FileBytes();

    if (options_.keepOldText) oldText_ = text_;
    switch (options_.keepLineEnds ? replaceKeepingLineEnds(row) : replaceInText(text_, row, &replacements_, &matcher_)) {
        case ReplaceResult::unchanged: return FileOutcome::unchanged;
        case ReplaceResult::failed: return fail(FailureCause::matchLimit);
        case ReplaceResult::changed: break;
    }
    if (!whole) return fail(FailureCause::notWholeText);
    // Every line is written with CR LF after it: a line break that ends the text is the
    // last line's.
    if (options_.lastLineEndSearched && !options_.keepLineEnds) dropLastLineBreak(text_);
    return finishChange(index, path, *file, opened, format, beforeWrite, beforeRename, [&](TextFile& out) {
        if (options_.keepLineEnds) writeText(out, text_, format);
        else writeLines(out, text_, format);
    });
}

FileOutcome FileRewriter::finishChange(size_t index, const std::string& path, TextFile& file, const struct stat& opened,
                                       TextFormat format, const BeforeWrite& beforeWrite,
                                       const BeforeRename& beforeRename, const BodyWriter& body) {
    // Every check that can refuse the file comes before its backup copy, so that a file
    // left alone never replaces the copy an earlier run made. A dry run makes the same
    // checks: also for a file in use, whose lock is only tried (the reader's release lets
    // it go again).
    // A file that another name earlier in the list reaches too is changed under that name.
    if (claim_ != nullptr && !claim_->isFirst()) return FileOutcome::unchanged;
    if (options_.output >= 0) return writeOutput(format, body);
    if (opened.st_nlink > 1) return fail(FailureCause::hardLinks);
    if (!lockForWriting(file)) return fail(FailureCause::inUse);
    // Without a copy to make, the write makes these checks itself.
    if ((options_.dryRun || beforeWrite) && !mayBeRewritten(path)) return fail(FailureCause::notWritable, errno);
    // The kept bytes are made once, in memory, and are then what the file is written with.
    BodyWriter keptBody;
    if (options_.keepBytes) {
        oldBytes_.assign(bytes_.view());
        if (!contentsInMemory(format, options_.ansiCharset, body, newBytes_))
            return fail(FailureCause::writeFailed, errno);
        keptBody = [this, format](TextFile& out) {
            writeBytes(out, std::string_view(newBytes_).substr(markLength(format)));
        };
    }
    if (options_.dryRun) return FileOutcome::changed;
    if (beforeWrite && !beforeWrite()) return fail(FailureCause::backupFailed, errno);
    Failure failure;
    if (writeBack(index, path, descriptorOf(file), opened, format, beforeRename, keptBody ? keptBody : body, failure))
        return FileOutcome::changed;
    failure_ = failure;
    return FileOutcome::failed;
}

void FileRewriter::takeLastBytes(std::string& before, std::string& after) {
    before = std::move(oldBytes_);
    after = std::move(newBytes_);
    oldBytes_.clear();
    newBytes_.clear();
}

FileOutcome FileRewriter::writeOutput(TextFormat format, const BodyWriter& body) {
    if (options_.dryRun) return FileOutcome::changed;
    const std::unique_ptr<TextFile> out = writeToDescriptor(options_.output, options_.ansiCharset);
    // Once the output is begun, whatever stops it leaves it unfinished: "writeFailed".
    try {
        writeMark(*out, format);
        body(*out);
    } catch (const std::exception&) {
        closeFile(*out);
        return fail(FailureCause::writeFailed, errno);
    }
    if (!closeFile(*out)) return fail(FailureCause::writeFailed, errno);
    return FileOutcome::changed;
}

FileOutcome FileRewriter::fail(FailureCause cause, int error) {
    failure_ = {cause, error};
    return FileOutcome::failed;
}

bool FileRewriter::mayTakeUtf8Regex(const PreparedRow& row, TextFormat format, const TextFile& file) const {
    // A lone surrogate of the replacement would pair with, or stand for, bytes beside it.
    const Text& replacement = row.replacement;
    for (size_t i = 0; i < replacement.size(); ++i) {
        const char16_t unit = replacement[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < replacement.size() && replacement[i + 1] >= 0xDC00 &&
            replacement[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) return false;
    }
    // The old text and the old bytes, when kept, are the text's and the file's as read.
    return row.options.useRegex && row.pattern != nullptr && row.utf8Pattern != nullptr && !options_.keepOldText &&
           !options_.keepBytes && bytes_.size >= options_.byteLevelFrom &&
           (format == TextFormat::utf8 || (format == TextFormat::ansi && decodesAnsiAsUtf8(file)));
}

bool FileRewriter::byteExactCodePage() const { return singleByteTable_ != nullptr && singleByteTable_->isByteExact(); }

const std::string* FileRewriter::byteNeedle(TextFormat format, const TextFile& file) const {
    const std::string* needle = nullptr;
    if (format == TextFormat::utf8 || (format == TextFormat::ansi && decodesAnsiAsUtf8(file))) needle = &utf8Needle_;
    else if (format == TextFormat::ansi && byteExactCodePage()) needle = &codePageNeedle_;
    return needle != nullptr && !needle->empty() ? needle : nullptr;
}

std::string FileRewriter::replacementBytes(const PreparedRow& row, TextFormat format, TextFile& file) const {
    std::string bytes;
    if (format == TextFormat::ansi && !decodesAnsiAsUtf8(file)) file.codec.encode(row.replacement, bytes);
    else bytes = textToUtf8(row.replacement);
    return bytes;
}

bool FileRewriter::replacesBytes(const PreparedRow& row, TextFormat format, const TextFile& file, size_t size) const {
    // A replacement that ends in a high surrogate would pair with an escape unit (an invalid
    // byte) or a low surrogate after it in the new text, which is written as one character:
    // its bytes are not the replacement's and the file's side by side.
    const bool endsInHighSurrogate =
        !row.replacement.empty() && row.replacement.back() >= 0xD800 && row.replacement.back() <= 0xDBFF;
    return !row.options.useRegex && findMode(row.options) == 0 && !row.search.empty() && !options_.keepOldText &&
           size >= options_.byteLevelFrom && !endsInHighSurrogate &&
           needlesReady_ && byteNeedle(format, file) != nullptr;
}

// Why replacing on the bytes gives what replacing in the text and writing it gives:
// - The file is UTF-8 (or "ansi" read as UTF-8), decoded losslessly: each character of a
//   line comes from its own shortest-form bytes, a byte outside a valid sequence becomes the
//   escape unit U+DC80..U+DCFF, and writing the text gives the bytes back.
// - The search text holds no CR, LF, U+0000 or surrogate, so its UTF-8 form begins with an
//   ASCII or lead byte, which never continues a sequence before it: the text holds the
//   search text exactly where the line's bytes hold its UTF-8 form, leftmost and without
//   overlap in the same order, and the bytes between two places decode on their own to the
//   text between them.
// - The replacement's UTF-8 form is what writing it gives, unless a pair forms across its
//   end, which replacesBytes rules out. Its line breaks are written as each mode writes
//   them: with line ends kept, each as the file's first line end; else the new text is
//   split into lines at CR LF, a lone CR or a lone LF, each written with CR LF after it.
//   The text joins the file's lines by CR LF, which never merges with a CR or LF of a
//   replacement, but one replacement ending in CR right before another beginning with LF
//   gives one CR LF; the file's own last line end is not in the text.
FileOutcome FileRewriter::rewriteBytes(size_t index, const std::string& path, const PreparedRow& row, TextFile& file,
                                       const struct stat& opened, TextFormat format, const BeforeWrite& beforeWrite,
                                       const BeforeRename& beforeRename) {
    // The file has no text here: a large text left from an earlier file is let go.
    if (text_.capacity() > largeFileBytes) text_ = Text();
    text_.clear();
    lineEnds_ = LineEnds();
    // Replacing a text by itself changes nothing, however often it occurs.
    if (row.replacement == row.search) return FileOutcome::unchanged;
    const std::string_view content = bytes_.view().substr(format == TextFormat::utf8 ? 3 : 0);
    const char* const end = content.data() + content.size();
    const std::string& needle = *byteNeedle(format, file);
    if (findBytes(content.data(), end, needle) == end) return FileOutcome::unchanged;
    // Writing back a file with a zero byte or a read error would change bytes that were not
    // replaced (the text path's reader flags the same files).
    if (readFailed(file) || std::memchr(content.data(), 0, content.size()) != nullptr)
        return fail(FailureCause::notWholeText);
    ByteReplacement replacement(needle, replacementBytes(row, format, file), options_.keepLineEnds,
                                firstLineEnd(content));
    if (options_.dryRun) replacements_ = countBytes(content, needle);
    return finishChange(index, path, file, opened, format, beforeWrite, beforeRename, [&](TextFile& out) {
        replacement.feed(out, content, true);
        replacements_ = replacement.places();
    });
}

// The same for a file too large to be held: its bytes are read twice, a window at a time,
// once to find whether (and how often) the search text occurs, and once to write the new
// file. A file that changes between the two is caught by the check before the rename.
// Where nothing comes before the write that a refusal found later would spoil (no backup
// copy, no count to tell beforehand, the file itself written), the first look ends at the
// first place, and the write watches for the zero byte: one that turns up leaves the file
// as it was, its new file unfinished and removed.
FileOutcome FileRewriter::rewriteStreamedBytes(size_t index, const std::string& path, const PreparedRow& row,
                                               TextFile& file, const struct stat& opened, TextFormat format,
                                               const BeforeWrite& beforeWrite, const BeforeRename& beforeRename) {
    if (text_.capacity() > largeFileBytes) text_ = Text();
    text_.clear();
    lineEnds_ = LineEnds();
    if (row.replacement == row.search) return FileOutcome::unchanged;
    const int fd = descriptorOf(file);
    const off_t from = format == TextFormat::utf8 ? 3 : 0;
    const bool whole = options_.dryRun || beforeWrite || options_.output >= 0;
    const std::string& needle = *byteNeedle(format, file);
    const ByteScan scan = scanFileBytes(fd, from, needle, window_, whole);
    if (scan.places == 0) return FileOutcome::unchanged;
    if (scan.readError || scan.zero) return fail(FailureCause::notWholeText);
    ByteReplacement replacement(needle, replacementBytes(row, format, file), options_.keepLineEnds,
                                scan.firstLineEnd);
    if (options_.dryRun) replacements_ = scan.places;
    bool zero = false;
    try {
        return finishChange(index, path, file, opened, format, beforeWrite, beforeRename, [&](TextFile& out) {
            if (!replaceFileBytes(fd, from, replacement, out, window_, zero) || zero)
                throw std::system_error(errno, std::generic_category(), "reading the file again");
            replacements_ = replacement.places();
        });
    } catch (const std::system_error&) {
        if (!zero) throw;
        return fail(FailureCause::notWholeText);
    }
}
