#include "engine/file_rewrite.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

bool isLineEnd(char16_t unit) { return unit == u'\r' || unit == u'\n'; }

void writeLines(TextFile& file, TextView text, TextFormat format) {
    if (text.empty()) return;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < text.size() && !isLineEnd(text[end])) ++end;
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
    const std::string target = resolvedPath(path);
    struct stat info;
    if (target.empty() || ::stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (!mayWrite(target)) return false;
    TemporaryFile temporary(folderOf(target));
    if (!temporary.created()) return false;
    std::unique_ptr<TextFile> file = createForWriting(temporary.path());
    if (!file) return false;
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
    std::vector<char> buffer(ok ? 256 * 1024 : 0);
    while (ok) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) ok = false;
        if (got <= 0) break;
        ok = writeAll(temporary.fd(), buffer.data(), static_cast<size_t>(got));
    }
    ::close(source);
    if (!ok || fchmod(temporary.fd(), info.st_mode & 07777) != 0) return false;
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    futimens(temporary.fd(), times);
    return temporary.moveTo(target);
}

FileOutcome FileRewriter::rewrite(const std::string& path, const PreparedRow& row,
                                  const BeforeWrite& beforeWrite) {
    std::unique_ptr<TextFile> file = openForReading(path);
    if (!file) return FileOutcome::unreadable;
    text_.clear();
    const TextFormat format = detectFormat(*file);
    if (format != TextFormat::ansi && format != TextFormat::utf8 && format != TextFormat::utf16le)
        return FileOutcome::unsupported;
    bool first = true;
    while (readLine(*file, format, line_)) {
        if (!first) text_ += u"\r\n";
        text_ += line_;
        first = false;
    }
    const bool whole = !sawZeroUnit(*file) && !readFailed(*file) && !sawIncompleteUnit(*file);
    file.reset();

    switch (replaceInText(text_, row)) {
        case ReplaceResult::unchanged: return FileOutcome::unchanged;
        case ReplaceResult::failed: return FileOutcome::failed;
        case ReplaceResult::changed: break;
    }
    if (!whole) return FileOutcome::failed;
    if (beforeWrite && !beforeWrite()) return FileOutcome::failed;
    return writeTextSafely(path, text_, format) ? FileOutcome::changed : FileOutcome::failed;
}
