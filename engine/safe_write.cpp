// Safe writes: a new file beside the old one that takes its place, for the rewrite, the
// backup copy and the undo's restore.

#include "engine/safe_write.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/descriptor_io.h"
#include "engine/file_attributes.h"
#include "engine/real_path.h"

namespace {

constexpr size_t copyBufferSize = 256 * 1024;


// A fresh name for a temporary file: ".replace-" and six random letters and digits.
void freshTemporaryName(std::string& name) {
    uint64_t state = 0;
    timespec now{};
    if (getrandom(&state, sizeof state, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof state) &&
        clock_gettime(CLOCK_REALTIME, &now) == 0)  // the kernel has no random bytes yet
        state = static_cast<uint64_t>(now.tv_sec) * 0x9E3779B97F4A7C15ull ^ (static_cast<uint64_t>(now.tv_nsec) << 20) ^
                static_cast<uint64_t>(getpid());
    state |= 1;
    constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    name.assign(".replace-");
    for (int i = 0; i < 6; ++i) {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        name.push_back(letters[((state * 0x2545F4914F6CDD1Dull) >> 32) % (sizeof letters - 1)]);
    }
}

// The new contents of a file, written beside it and then put in its place. Where the file
// system can, the file has no name until it is complete (O_TMPFILE), so a crash at any
// moment before that leaves nothing behind; elsewhere it is a named file, removed again
// unless it was renamed into place.
class TemporaryFile {
public:
    // Creates an empty file, readable and writable by its owner only, in the folder that
    // folder (a descriptor, kept open by the caller) is.
    explicit TemporaryFile(int folder) : folder_(folder) {
        do {
            fd_ = ::openat(folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ >= 0) return;
        for (int attempt = 0; attempt < 100; ++attempt) {
            freshTemporaryName(name_);
            do {
                fd_ = ::openat(folder, name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
            } while (fd_ < 0 && errno == EINTR);
            if (fd_ >= 0 || errno != EEXIST) break;
        }
        if (fd_ < 0) name_.clear();
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool created() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Gives the file the owner, group, extended attributes (its access ACL among them) and
    // permission bits of the file name in the folder, whose status is info (the owner only
    // where the process may set it; chown comes first because it clears set-user-ID bits;
    // see carryAttributes for the rest). original is that file open for reading, or -1:
    // when it is not the same file, name is opened again for its attributes, and a file
    // that cannot be read gets none. What the new file has already is not set again. own
    // is the new file's status as fstat gave it (zeroed when it could not).
    bool takeAttributes(int original, const char* name, const struct stat& info, struct stat& own) {
        const bool known = fstat(fd_, &own) == 0;
        if (!known) own = {};
        const bool sameOwner = known && own.st_uid == info.st_uid && own.st_gid == info.st_gid;
        if (!sameOwner && fchown(fd_, info.st_uid, info.st_gid) != 0) {
            if (fchown(fd_, static_cast<uid_t>(-1), info.st_gid) != 0) {
                // Not permitted: the file stays the process's own, as any new file would.
            }
        }
        const auto isOriginal = [&](int fd) {
            struct stat status;
            return fd >= 0 && fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_dev == info.st_dev &&
                   status.st_ino == info.st_ino;
        };
        int opened = -1;
        if (!isOriginal(original)) {
            do {
                opened = ::openat(folder_, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            } while (opened < 0 && errno == EINTR);
            original = isOriginal(opened) ? opened : -1;
        }
        const bool carried = carryAttributes(original, fd_, info, sameOwner ? &own : nullptr);
        if (opened >= 0) ::close(opened);
        return carried;
    }

    // Closes the file and renames it over name in its folder. An unnamed file is given a
    // fresh name first: a link cannot replace a file, a rename can. With unchanged (the
    // status of the file at name when it was read), the rename is made only when name
    // still leads to that file as it was read: else failure says so.
    bool moveTo(const char* name, const struct stat* unchanged = nullptr, Failure* failure = nullptr) {
        if (name_.empty() && !giveName()) return failed(failure);
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        if (!closed) return failed(failure);
        // The last moment before the rename: another program's write after this check is
        // lost, as it would be after the rename.
        if (unchanged != nullptr && !stillAsRead(folder_, name, *unchanged)) {
            if (failure != nullptr) *failure = {FailureCause::changedMeanwhile, 0};
            return false;
        }
        if (::renameat(folder_, name_.c_str(), folder_, name) != 0) return failed(failure);
        name_.clear();
        return true;
    }

private:
    static bool failed(Failure* failure) {
        if (failure != nullptr) *failure = {FailureCause::writeFailed, errno};
        return false;
    }

    // True when name in folder is still the file that had the status read: the same file,
    // with the same size, modification and change times.
    static bool stillAsRead(int folder, const char* name, const struct stat& read) {
        struct stat now;
        return ::fstatat(folder, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == read.st_dev &&
               now.st_ino == read.st_ino && now.st_size == read.st_size &&
               now.st_mtim.tv_sec == read.st_mtim.tv_sec && now.st_mtim.tv_nsec == read.st_mtim.tv_nsec &&
               now.st_ctim.tv_sec == read.st_ctim.tv_sec && now.st_ctim.tv_nsec == read.st_ctim.tv_nsec;
    }

    // Links the unnamed file into its folder under a fresh name. Linking by the descriptor
    // itself needs a privilege; its /proc name does not.
    bool giveName() {
        const std::string procName = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            freshTemporaryName(name_);
            if (::linkat(fd_, "", folder_, name_.c_str(), AT_EMPTY_PATH) == 0 ||
                ::linkat(AT_FDCWD, procName.c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return true;
            if (errno != EEXIST) break;
        }
        name_.clear();
        return false;
    }

    int folder_;
    std::string name_;  // empty while the file has no name
    int fd_ = -1;
};

}  // namespace

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}
const char* nameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

int openFolder(const std::string& folder) {
    int fd;
    do {
        fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}


bool writeInFolder(int folder, const char* name, const struct stat& info, const NewContents& encoding,
                   const BodyWriter& body, struct stat& written, Failure& failure) {
    // A file that the process may not open for writing is refused, as writing in place
    // would be (with the effective IDs, as open checks them). A file or folder without any
    // write bit is read-only for every user, the administrator too.
    struct stat folderInfo;
    errno = EACCES;  // what a refusal by the permission bits alone reports
    if ((info.st_mode & 0222) == 0 || ::faccessat(folder, name, W_OK, AT_EACCESS) != 0 ||
        fstat(folder, &folderInfo) != 0 || (folderInfo.st_mode & 0222) == 0) {
        failure = {FailureCause::notWritable, errno};
        return false;
    }
    TemporaryFile temporary(folder);
    failure = {FailureCause::writeFailed, errno};
    if (!temporary.created()) return false;
    // The fresh temporary file is written through the descriptor that created it.
    std::unique_ptr<TextFile> file = writeToDescriptor(temporary.fd(), encoding.charset);
    file->codec.useTable(encoding.table);
    std::optional<FingerprintBuilder> fingerprint;
    if (encoding.beforeRename) {
        fingerprint.emplace();
        tapWrittenBytes(*file, [&](std::string_view bytes) { fingerprint->add(bytes); });
    }
    writeMark(*file, encoding.format);
    body(*file);
    if (!closeFile(*file)) {
        failure = {FailureCause::writeFailed, errno};
        return false;
    }
    // No fsync: the rename replaces the file only once its new contents are complete, and
    // the file systems in use commit a file's data before a rename that replaces another
    // file. A sync per file would make a run over a large site many times slower.
    if (!temporary.takeAttributes(encoding.original, name, info, written)) {
        failure = {FailureCause::writeFailed, errno};
        return false;
    }
    if (encoding.reached != nullptr && written.st_ino != 0) encoding.reached->wrote(encoding.index, written);
    if (fingerprint && !(*encoding.beforeRename)(fingerprint->result())) {
        failure = {FailureCause::backupFailed, errno};
        return false;
    }
    return temporary.moveTo(name, encoding.read, &failure);
}

bool writeByPath(const std::string& path, const NewContents& encoding, const BodyWriter& body, struct stat& written,
                 Failure& failure) {
    written = {};
    failure = {FailureCause::changedMeanwhile, 0};
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    // Only a link needs resolving: a file in a linked folder is replaced in that folder
    // through the same path.
    const std::string target = S_ISLNK(info.st_mode) ? resolvedPath(path) : path;
    if (target.empty() || (S_ISLNK(info.st_mode) && ::stat(target.c_str(), &info) != 0) ||
        !S_ISREG(info.st_mode))
        return false;
    const OwnedDescriptor folder(openFolder(folderOf(target)));
    if (folder.fd() < 0) {
        failure = {FailureCause::notWritable, errno};
        return false;
    }
    return writeInFolder(folder.fd(), nameOf(target), info, encoding, body, written, failure);
}


bool mayBeRewritten(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    const std::string target = S_ISLNK(info.st_mode) ? resolvedPath(path) : path;
    if (target.empty() || (S_ISLNK(info.st_mode) && ::stat(target.c_str(), &info) != 0) || !S_ISREG(info.st_mode))
        return false;
    const std::string folder = folderOf(target);
    struct stat folderInfo;
    return (info.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0 &&
           ::stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}


namespace {

// Copies every byte source reads from its start to target. The kernel copies without the
// bytes passing through the process where it can; where it cannot (other file systems,
// older kernels), the bytes are read and written.
bool copyBytes(int source, int target) {
    bool copied = false;
    for (;;) {
        const ssize_t got = ::copy_file_range(source, nullptr, target, nullptr, 1 << 30, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && !copied && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                   errno == EOPNOTSUPP || errno == EPERM)) break;
        if (got < 0) return false;
        // Nothing at all from the first call: some file systems copy nothing this way
        // (files whose size says 0), so the bytes are read instead.
        if (got == 0) break;
        copied = true;
    }
    if (copied) return true;
    const std::unique_ptr<char[]> buffer(new char[copyBufferSize]);  // costs nothing beside a copy
    for (;;) {
        const ssize_t got = ::read(source, buffer.get(), copyBufferSize);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!writeAll(target, std::string_view(buffer.get(), static_cast<size_t>(got)))) return false;
    }
}

// A regular file opened for reading, closed when it goes; fd() is -1 when it could not be
// opened or is not a regular file.
class ReadDescriptor {
public:
    explicit ReadDescriptor(const std::string& path) {
        do {
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        } while (fd_ < 0 && errno == EINTR);
        if (fd_ >= 0 && (fstat(fd_, &info_) != 0 || !S_ISREG(info_.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReadDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    int fd() const { return fd_; }
    const struct stat& info() const { return info_; }

private:
    int fd_ = -1;
    struct stat info_ = {};
};

}  // namespace

bool copyFileIntoFolder(const std::string& from, int folder, const char* name, Fingerprint* copied) {
    const ReadDescriptor source(from);
    if (source.fd() < 0) return false;
    const struct stat& info = source.info();
    // A link at the copy's place is replaced by the copy, never written through.
    TemporaryFile temporary(folder);
    if (!temporary.created() || !copyBytes(source.fd(), temporary.fd()) ||
        !carryAttributes(source.fd(), temporary.fd(), info))
        return false;
    // The copy as it is, read back (from the page cache): what the undo will find there.
    if (copied != nullptr && !fingerprintDescriptor(temporary.fd(), *copied)) return false;
    const struct timespec times[2] = {info.st_atim, info.st_mtim};
    futimens(temporary.fd(), times);
    return temporary.moveTo(name);
}

RestoreResult restoreFromBackup(const std::string& backup, const std::string& path, const Fingerprint& written,
                                const Fingerprint& copied) {
    const auto failed = [] { return RestoreResult{RestoreOutcome::failed, errno}; };
    struct stat entry;
    if (::lstat(path.c_str(), &entry) != 0) return {RestoreOutcome::missing};
    const std::string target = S_ISLNK(entry.st_mode) ? resolvedPath(path) : path;
    if (target.empty()) return {RestoreOutcome::missing};
    const ReadDescriptor current(target);
    const ReadDescriptor copy(backup);
    if (copy.fd() < 0) return {RestoreOutcome::backupMissing};
    if (current.fd() < 0) return {RestoreOutcome::editedSince};
    Fingerprint now;
    Fingerprint original;
    if (!fingerprintDescriptor(current.fd(), now) || !fingerprintDescriptor(copy.fd(), original))
        return failed();
    if (now != written) return {now == original ? RestoreOutcome::alreadyRestored : RestoreOutcome::editedSince};
    // Only the copy the run made goes back: another run's, or one put there since, would
    // bring another file's text.
    if (original != copied) return {RestoreOutcome::backupChanged};
    // Written as a run writes: refused where the file or its folder may not be written,
    // through a new file that takes the file's permission bits and owner. The modification
    // time is the restore's own, so that tools that rebuild from the file see the change.
    const OwnedDescriptor folder(openFolder(folderOf(target)));
    const char* const name = nameOf(target);
    const struct stat& info = current.info();
    struct stat folderInfo;
    if (folder.fd() < 0) return failed();
    errno = EACCES;  // what a refusal by the permission bits alone reports
    if ((info.st_mode & 0222) == 0 || ::faccessat(folder.fd(), name, W_OK, AT_EACCESS) != 0 ||
        fstat(folder.fd(), &folderInfo) != 0 || (folderInfo.st_mode & 0222) == 0)
        return failed();
    TemporaryFile temporary(folder.fd());
    struct stat own;
    if (!temporary.created() || !copyBytes(copy.fd(), temporary.fd()) ||
        !temporary.takeAttributes(current.fd(), name, info, own))
        return failed();
    Failure failure;
    if (temporary.moveTo(name, &info, &failure)) return {RestoreOutcome::restored};
    if (failure.cause == FailureCause::changedMeanwhile) return {RestoreOutcome::editedSince};
    return {RestoreOutcome::failed, failure.error};
}
