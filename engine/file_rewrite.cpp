#include "engine/file_rewrite.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/regex.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    // Creates an empty file of a fresh name in folder (which ends with "/").
    explicit TemporaryFile(const std::string& folder) : path_(folder + ".replace-XXXXXX") {
        fd_ = mkstemp(path_.data());
        if (fd_ < 0) path_.clear();
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Gives the file the owner, group and permission bits of info (the owner only where
    // the process may set it; chown comes first because it clears set-user-ID bits).
    bool takeAttributes(const struct stat& info) {
        if (fchown(fd_, info.st_uid, info.st_gid) != 0) {
            if (fchown(fd_, static_cast<uid_t>(-1), info.st_gid) != 0) {
                // Not permitted: the file stays the process's own, as any new file would.
            }
        }
        return fchmod(fd_, info.st_mode & 07777) == 0;
    }

    // Closes the file and renames it over target.
    bool moveTo(const std::string& target) {
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!closed || ::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
};

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// The file a path names, symbolic links resolved; empty when it does not resolve.
std::string resolvedPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

// True when the process may open the file for writing (a read-only file is refused as
// writing in place would be).
bool mayWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

constexpr size_t copyBufferSize = 256 * 1024;

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

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

bool writeTextSafely(const std::string& path, TextView text, TextFormat format) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    // Only a link needs resolving: a file in a linked folder is replaced in that folder
    // through the same path.
    const std::string target = S_ISLNK(info.st_mode) ? resolvedPath(path) : path;
    if (target.empty() || (S_ISLNK(info.st_mode) && ::stat(target.c_str(), &info) != 0) ||
        !S_ISREG(info.st_mode))
        return false;
    if (!mayWrite(target)) return false;
    TemporaryFile temporary(folderOf(target));
    if (!temporary.created()) return false;
    // The fresh temporary file is written through the descriptor that created it.
    std::unique_ptr<TextFile> file = writeToDescriptor(temporary.fd());
    writeMark(*file, format);
    writeLines(*file, text, format);
    if (!closeFile(*file)) return false;
    // No fsync: the rename replaces the file only once its new contents are complete, and
    // the file systems in use commit a file's data before a rename that replaces another
    // file. A sync per file would make a run over a large site many times slower.
    return temporary.takeAttributes(info) && temporary.moveTo(target);
}

bool copyFileSafely(const std::string& from, const std::string& to) {
    int source;
    do {
        source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    } while (source < 0 && errno == EINTR);
    if (source < 0) return false;
    struct stat info;
    bool ok = fstat(source, &info) == 0 && S_ISREG(info.st_mode);
    std::string target = to;
    // A link at the copy's place is replaced by the copy, never written through.
    TemporaryFile temporary(folderOf(target));
    ok = ok && temporary.created();
    // The kernel copies without the bytes passing through the process where it can; where
    // it cannot (other file systems, older kernels), the bytes are read and written.
    bool copied = false;
    while (ok) {
        const ssize_t got = ::copy_file_range(source, nullptr, temporary.fd(), nullptr, 1 << 30, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && !copied && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                   errno == EOPNOTSUPP || errno == EPERM)) break;
        if (got < 0) ok = false;
        // Nothing at all from the first call: some file systems copy nothing this way
        // (files whose size says 0), so the bytes are read instead.
        if (got <= 0) break;
        copied = true;
    }
    if (ok && !copied) {
        static thread_local std::unique_ptr<char[]> buffer(new char[copyBufferSize]);
        while (ok) {
            const ssize_t got = ::read(source, buffer.get(), copyBufferSize);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) ok = false;
            if (got <= 0) break;
            ok = writeAll(temporary.fd(), buffer.get(), static_cast<size_t>(got));
        }
    }
    ::close(source);
    if (!ok || fchmod(temporary.fd(), info.st_mode & 07777) != 0) return false;
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    futimens(temporary.fd(), times);
    return temporary.moveTo(target);
}

void FileRewriter::prepareNeedles(const PreparedRow& row) {
    if (needlesReady_ && needleSearch_ == row.search && needleRegex_ == row.options.useRegex) return;
    needlesReady_ = true;
    needleSearch_ = row.search;
    needleRegex_ = row.options.useRegex;
    utf8Needle_.clear();
    utf16Needle_.clear();
    // A regular expression with letter case is looked for by the characters all its
    // matches begin with (none of them U+FFFD, which the matcher also sees for a lone
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
    if (!lineEnd && !surrogate) utf8Needle_ = textToUtf8(needle);
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
bool FileRewriter::mayHold(std::string_view bytes, TextFormat format, bool ansiAsUtf8) const {
    const bool byteFormat = format == TextFormat::utf8 || (format == TextFormat::ansi && ansiAsUtf8);
    const std::string* needle = byteFormat                        ? &utf8Needle_
                                : format == TextFormat::utf16le ? &utf16Needle_
                                                                  : nullptr;
    if (needle == nullptr || needle->empty()) return true;
    const char* const data = bytes.data();
    size_t from = 0;
    while (from + needle->size() <= bytes.size()) {
        const void* hit = memmem(data + from, bytes.size() - from, needle->data(), needle->size());
        if (hit == nullptr) return false;
        const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - data);
        if (byteFormat || at % 2 == 0) return true;
        from = at + 1;
    }
    return false;
}

FileOutcome FileRewriter::rewrite(const std::string& path, const PreparedRow& row,
                                  const BeforeWrite& beforeWrite) {
    std::unique_ptr<TextFile> file = openWholeFile(path, bytes_);
    if (!file) return FileOutcome::unreadable;
    const TextFormat format = detectFormat(*file);
    if (format != TextFormat::ansi && format != TextFormat::utf8 && format != TextFormat::utf16le)
        return FileOutcome::unsupported;
    if (findMode(row.options) == 0 && !row.search.empty()) {
        prepareNeedles(row);
        if (!mayHold(bytes_.view(), format, decodesAnsiAsUtf8(*file))) return FileOutcome::unchanged;
    }
    readText(*file, format, text_);
    const bool whole = !sawZeroUnit(*file) && !readFailed(*file) && !sawIncompleteUnit(*file);
    file.reset();
    // A large file's bytes are not kept beside its text and the new text.
    if (bytes_.capacity > largeFileBytes) bytes_ = FileBytes();

    switch (replaceInText(text_, row)) {
        case ReplaceResult::unchanged: return FileOutcome::unchanged;
        case ReplaceResult::failed: return FileOutcome::failed;
        case ReplaceResult::changed: break;
    }
    if (!whole) return FileOutcome::failed;
    if (beforeWrite && !beforeWrite()) return FileOutcome::failed;
    return writeTextSafely(path, text_, format) ? FileOutcome::changed : FileOutcome::failed;
}
