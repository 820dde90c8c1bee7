#include "engine/run_journal.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "engine/descriptor_io.h"

// The journal is text, one record per line, each line its fields and then the 64-bit XXH3
// checksum of the fields in 16 hex digits, all separated by single spaces:
//   replace-in-files journal 3 <run> <folder device> <folder inode> <check>
//   file <number> <size> <hash> <path> <backup copy below the folder> <copy size> <copy hash> <check>
//   end <entries> <check>
//   undone <number> <check>
// <run> is a random number of the run in 16 hex digits; the checksums after the first line
// are seeded with it, so a line of another run's journal fails its check here. The backup
// folder's device and inode (16 hex digits each) tie the journal to its folder. Hashes are
// 32 hex digits. Entries are numbered from 1, so a line lost or moved is noticed too; the
// closing line of a run that ended counts them. An undo adds an "undone" line for each
// entry it put back. Paths are file-system bytes with '%', spaces, control bytes and DEL
// written as %XX.

namespace {

constexpr std::string_view header = "replace-in-files journal 3 ";
constexpr std::string_view anyVersion = "replace-in-files journal ";

std::string hex64(uint64_t value) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(value));
    return std::string(digits, 16);
}

void appendEscaped(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F || byte == '%') {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool unescape(std::string_view field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return false;
        const int high = hexDigit(field[i + 1]);
        const int low = hexDigit(field[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high << 4 | low);
        i += 2;
    }
    return true;
}

// 16 hex digits as hex64 writes them: lower case only, so that a checksum has one spelling
// (an upper-case digit is a changed byte, never the same value).
bool parseHex64(std::string_view digits, uint64_t& value) {
    if (digits.size() != 16) return false;
    value = 0;
    for (const char c : digits) {
        const int digit = c >= 'A' && c <= 'F' ? -1 : hexDigit(c);
        if (digit < 0) return false;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return true;
}

// A decimal number that fits 64 bits, as std::to_string writes it.
bool parseSize(std::string_view digits, uint64_t& value) {
    if (digits.empty() || digits.size() > 20 || (digits.size() > 1 && digits.front() == '0')) return false;
    value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return false;
        const auto digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

// A line with its checksum appended, and its line break.
std::string sealed(std::string fields, uint64_t seed) {
    const uint64_t check = checksumOf(fields, seed);
    fields += ' ';
    fields += hex64(check);
    fields += '\n';
    return fields;
}

// The fields of a line whose checksum holds; false when it does not.
bool unseal(std::string_view line, uint64_t seed, std::string_view& fields) {
    if (line.size() < 17 || line[line.size() - 17] != ' ') return false;
    uint64_t check;
    if (!parseHex64(line.substr(line.size() - 16), check)) return false;
    fields = line.substr(0, line.size() - 17);
    return checksumOf(fields, seed) == check;
}

std::vector<std::string_view> split(std::string_view fields) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t space = fields.find(' ', start);
        parts.push_back(fields.substr(start, space == std::string_view::npos ? std::string_view::npos : space - start));
        if (space == std::string_view::npos) return parts;
        start = space + 1;
    }
}

// A backup path the journal may name: below the folder, never above it.
bool staysBelow(std::string_view relative) {
    if (relative.empty() || relative.front() == '/') return false;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t slash = relative.find('/', start);
        if (slash == std::string_view::npos) slash = relative.size();
        if (relative.substr(start, slash - start) == "..") return false;
        start = slash + 1;
    }
    return true;
}

bool parseFingerprint(std::string_view size, std::string_view hash, Fingerprint& fingerprint) {
    return hash.size() == 32 && parseSize(size, fingerprint.size) && parseHex64(hash.substr(0, 16), fingerprint.high) &&
           parseHex64(hash.substr(16), fingerprint.low);
}

void appendFingerprint(std::string& out, const Fingerprint& fingerprint) {
    out += std::to_string(fingerprint.size);
    out += ' ';
    out += hex64(fingerprint.high);
    out += hex64(fingerprint.low);
}

// An entry with the number expected.
bool parseEntry(const std::vector<std::string_view>& parts, uint64_t number, JournalEntry& entry) {
    uint64_t given;
    if (parts.size() != 8 || parts[0] != "file" || !parseSize(parts[1], given) || given != number) return false;
    entry.number = number;
    return parseFingerprint(parts[2], parts[3], entry.written) && unescape(parts[4], entry.path) &&
           !entry.path.empty() && entry.path.front() == '/' && unescape(parts[5], entry.backup) &&
           staysBelow(entry.backup) && parseFingerprint(parts[6], parts[7], entry.copied);
}

// A record line of one keyword and one number: "end <entries>", "undone <number>".
bool parseCounted(const std::vector<std::string_view>& parts, std::string_view keyword, uint64_t& number) {
    return parts.size() == 2 && parts[0] == keyword && parseSize(parts[1], number);
}

// The user's name and primary group, for telling the user's own private group.
bool isPrivateGroupOf(gid_t group, uid_t user) {
    std::vector<char> buffer(16384);
    struct passwd account;
    struct passwd* found = nullptr;
    if (::getpwuid_r(user, &account, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return false;
    if (account.pw_gid != group) return false;
    const std::string name = account.pw_name;
    struct group entry;
    struct group* groupFound = nullptr;
    std::vector<char> groupBuffer(16384);
    if (::getgrgid_r(group, &entry, groupBuffer.data(), groupBuffer.size(), &groupFound) != 0 || groupFound == nullptr)
        return false;
    // A private group bears the user's name and has no members besides its primary user.
    return name == entry.gr_name && (entry.gr_mem == nullptr || entry.gr_mem[0] == nullptr);
}

// True when no one but the user may change what has the status info: the user owns it,
// others may not write it, and its group may only when it is the user's private group.
bool onlyUserMayWrite(const struct stat& info) {
    const uid_t user = ::geteuid();
    if (info.st_uid != user || (info.st_mode & S_IWOTH) != 0) return false;
    return (info.st_mode & S_IWGRP) == 0 || isPrivateGroupOf(info.st_gid, user);
}

uint64_t freshRunNumber() {
    uint64_t number = 0;
    if (::getrandom(&number, sizeof number, 0) != sizeof number) {
        number = static_cast<uint64_t>(::time(nullptr)) * 0x9E3779B97F4A7C15ull ^ static_cast<uint64_t>(::getpid());
    }
    return number;
}

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// The working folder, with its final "/".
std::string workingFolder() {
    std::string out;
    char* here = ::getcwd(nullptr, 0);
    if (here != nullptr) {
        out = here;
        std::free(here);
    }
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

// path made absolute against the working folder here.
void appendAbsolute(std::string& out, std::string_view path, const std::string& here) {
    if (path.empty() || path.front() != '/') {
        appendEscaped(out, here);
        while (path.starts_with("./")) path.remove_prefix(2);
    }
    appendEscaped(out, path);
}

}  // namespace

BackupFolderLock::BackupFolderLock(const std::string& backupFolder) {
    // The lock is on the folder itself: nothing is left behind in it, and a lock file
    // removed and made again could be locked twice.
    do {
        fd_ = ::open(backupFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0) return;
    int locked;
    do {
        locked = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked == 0) {
        state_ = State::held;
        return;
    }
    state_ = errno == EWOULDBLOCK ? State::busy : State::unavailable;
    ::close(fd_);
    fd_ = -1;
}

BackupFolderLock::~BackupFolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

RunJournal::RunJournal(std::string backupFolder)
    : folder_(withSlash(std::move(backupFolder))), workingFolder_(workingFolder()) {}

RunJournal::~RunJournal() { finish(); }

bool RunJournal::lockFolder() {
    const std::lock_guard lock(mutex_);
    if (!lock_) lock_ = std::make_unique<BackupFolderLock>(folder_);
    return lock_->state() != BackupFolderLock::State::busy;
}

bool RunJournal::begin() {
    // The new journal is made beside the last one, complete with its first line; it takes
    // the last one's place only when the run replaces its first file (goLive).
    const std::string fresh = folder_ + std::string(journalName) + ".new";
    struct stat folder;
    if (::stat(folder_.c_str(), &folder) != 0) {
        failed_ = true;
        return false;
    }
    do {
        fd_ = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd_ < 0 && errno == EINTR);
    run_ = freshRunNumber();
    if (fd_ >= 0 && writeAll(fd_, sealed(std::string(header) + hex64(run_) + ' ' +
                                             hex64(static_cast<uint64_t>(folder.st_dev)) + ' ' +
                                             hex64(static_cast<uint64_t>(folder.st_ino)),
                                         0)))
        return true;
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(fresh.c_str());
    }
    fd_ = -1;
    failed_ = true;
    return false;
}

bool RunJournal::goLive() {
    const std::string name = folder_ + std::string(journalName);
    if (::rename((name + ".new").c_str(), name.c_str()) != 0) {
        failed_ = true;
        return false;
    }
    live_ = true;
    return true;
}

bool RunJournal::reserve(std::string_view backup) {
    const std::lock_guard lock(mutex_);
    // A copy above the folder could not be found again from the journal.
    if (failed_ || finished_ || !staysBelow(backup) || backup == journalName ||
        backup == std::string(journalName) + ".new")
        return false;
    if (fd_ < 0 && !begin()) return false;
    return backups_.emplace(backup).second;
}

bool RunJournal::record(std::string_view path, std::string_view backup, const Fingerprint& written,
                        const Fingerprint& copied) {
    std::string rest = " ";
    appendFingerprint(rest, written);
    rest += ' ';
    appendAbsolute(rest, path, workingFolder_);
    rest += ' ';
    appendEscaped(rest, backup);
    rest += ' ';
    appendFingerprint(rest, copied);
    // Entries are numbered in the order they are written, whichever thread writes them.
    const std::lock_guard lock(mutex_);
    if (fd_ < 0 || failed_ || finished_ || (!live_ && !goLive())) return false;
    std::string fields = "file " + std::to_string(++entries_) + rest;
    // One write per entry: a crash leaves it whole or cut short, and a cut-short entry can
    // only be the last.
    if (writeAll(fd_, sealed(std::move(fields), run_))) return true;
    failed_ = true;
    return false;
}

void RunJournal::finish() {
    const std::lock_guard lock(mutex_);
    if (finished_) return;
    finished_ = true;
    if (fd_ < 0) return;
    if (live_) {
        if (!failed_) writeAll(fd_, sealed("end " + std::to_string(entries_), run_));
    } else {
        ::unlink((folder_ + std::string(journalName) + ".new").c_str());
    }
    ::close(fd_);
    fd_ = -1;
}

namespace {

Journal damaged(std::string problem) {
    Journal journal;
    journal.state = Journal::State::damaged;
    journal.problem = std::move(problem);
    return journal;
}

}  // namespace

Journal readJournal(const std::string& backupFolder) {
    Journal journal;
    const std::string folder = withSlash(backupFolder);
    const std::string name = folder + std::string(journalName);
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno != ENOENT) return damaged(std::string("the journal cannot be read: ") + std::strerror(errno));
        return journal;
    }
    std::string bytes;
    struct stat info;
    const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readAll(fd, bytes);
    ::close(fd);
    if (!read) return damaged("the journal cannot be read");
    // Whoever may write the journal or its folder could make the undo write any file the
    // user may write: only the user's own are obeyed.
    struct stat folderInfo;
    if (::stat(folder.c_str(), &folderInfo) != 0) return damaged("the backup folder cannot be read");
    if (!onlyUserMayWrite(info)) return damaged("the journal belongs to another user, or others may write it");
    if (!onlyUserMayWrite(folderInfo))
        return damaged("the backup folder belongs to another user, or others may write it");

    // The lines, each with its line break; a last piece without one was cut short.
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        if (end == std::string::npos) break;
        lines.push_back(std::string_view(bytes).substr(start, end - start));
        start = end + 1;
    }
    // Each line is written with one write, its line break last: a line cut short by a crash
    // has no line break and is left out with all after it. A whole line must hold.
    std::vector<JournalEntry> entries;
    std::vector<bool> undone;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view fields;
        if (i == 0 && lines[0].starts_with(anyVersion) && !lines[0].starts_with(header))
            return damaged("the journal was written by another version of the program; its copies are still in "
                           "the folder");
        if (!unseal(lines[i], i == 0 ? 0 : journal.run, fields))
            return damaged("line " + std::to_string(i + 1) + " fails its check");
        const std::vector<std::string_view> parts = split(fields);
        bool understood;
        uint64_t number = 0;
        if (i == 0) {
            uint64_t device = 0;
            uint64_t inode = 0;
            understood = parts.size() == 6 && fields.starts_with(header) && parseHex64(parts[3], journal.run) &&
                         parseHex64(parts[4], device) && parseHex64(parts[5], inode);
            if (understood && (device != static_cast<uint64_t>(folderInfo.st_dev) ||
                               inode != static_cast<uint64_t>(folderInfo.st_ino)))
                return damaged("the journal was not written for this backup folder");
        } else if (parseCounted(parts, "end", number)) {
            understood = !journal.finished && number == entries.size();
            journal.finished = true;
        } else if (parseCounted(parts, "undone", number)) {
            understood = number >= 1 && number <= entries.size();
            if (understood) undone[number - 1] = true;
        } else {
            JournalEntry entry;
            understood = !journal.finished && parseEntry(parts, entries.size() + 1, entry);
            entries.push_back(std::move(entry));
            undone.push_back(false);
        }
        if (!understood) return damaged("line " + std::to_string(i + 1) + " is not understood");
        journal.validSize = static_cast<size_t>(lines[i].data() - bytes.data()) + lines[i].size() + 1;
    }
    if (lines.empty()) return damaged("the journal has no first line");
    journal.named = entries.size();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!undone[i]) journal.entries.push_back(std::move(entries[i]));
    }
    journal.state = journal.entries.empty() ? Journal::State::spent : Journal::State::ready;
    return journal;
}

UndoEnd undoRun(const std::string& backupFolder, const Journal& given, UndoObserver& observer, UndoTotals& totals) {
    totals = UndoTotals{};
    const std::string folder = withSlash(backupFolder);
    const BackupFolderLock lock(folder);
    if (lock.state() == BackupFolderLock::State::busy) return UndoEnd::busy;
    // Read again under the lock: a run may have replaced the journal since it was read, and
    // an undo may have put back some of its files.
    const Journal journal = readJournal(folder);
    if (journal.run != given.run) return UndoEnd::busy;
    if (journal.state != Journal::State::ready) return UndoEnd::done;
    // A part cut short at the end goes first, so that the marks are whole lines.
    const std::string name = folder + std::string(journalName);
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    bool marked = fd >= 0 && ::ftruncate(fd, static_cast<off_t>(journal.validSize)) == 0 &&
                  ::lseek(fd, 0, SEEK_END) >= 0;
    // From the last entry to the first: a file the run changed twice gets its first copy
    // back last.
    for (size_t i = journal.entries.size(); i-- > 0;) {
        const JournalEntry& entry = journal.entries[i];
        const RestoreResult result = restoreFromBackup(folder + entry.backup, entry.path, entry.written, entry.copied);
        const RestoreOutcome outcome = result.outcome;
        if (outcome == RestoreOutcome::restored) ++totals.restored;
        else if (outcome != RestoreOutcome::alreadyRestored) ++totals.leftAlone;
        // Only what is put back is spent: a later undo tries the rest again.
        if (marked && (outcome == RestoreOutcome::restored || outcome == RestoreOutcome::alreadyRestored))
            marked = writeAll(fd, sealed("undone " + std::to_string(entry.number), journal.run));
        observer.fileDone(i, entry, result);
        if (i > 0 && !observer.keepGoing()) {
            totals.stopped = true;
            break;
        }
    }
    if (fd >= 0 && ::close(fd) != 0) marked = false;
    return marked ? UndoEnd::done : UndoEnd::notMarked;
}
