#include "engine/run_journal.h"

#include <fcntl.h>
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
//   replace-in-files journal 2 <run> <check>
//   file <number> <size> <hash, 32 hex digits> <path> <backup copy below the folder> <check>
//   spent <check>
// <run> is a random number of the run in 16 hex digits; the checksums after the first line
// are seeded with it, so a line of another run's journal fails its check here. Entries are
// numbered from 1, so a line lost or moved is noticed too. Paths are file-system bytes with
// '%', spaces, control bytes and DEL written as %XX.

namespace {

constexpr std::string_view header = "replace-in-files journal 2 ";

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

// An entry with the number expected.
bool parseEntry(const std::vector<std::string_view>& parts, uint64_t number, JournalEntry& entry) {
    uint64_t given;
    if (parts.size() != 6 || parts[0] != "file" || parts[3].size() != 32 || !parseSize(parts[1], given) ||
        given != number)
        return false;
    return parseSize(parts[2], entry.written.size) && parseHex64(parts[3].substr(0, 16), entry.written.high) &&
           parseHex64(parts[3].substr(16), entry.written.low) && unescape(parts[4], entry.path) &&
           !entry.path.empty() && entry.path.front() == '/' && unescape(parts[5], entry.backup) &&
           staysBelow(entry.backup);
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

std::string absolute(std::string_view path) {
    if (!path.empty() && path.front() == '/') return std::string(path);
    std::string out;
    char* here = ::getcwd(nullptr, 0);
    if (here != nullptr) {
        out = here;
        std::free(here);
    }
    if (out.empty() || out.back() != '/') out += '/';
    while (path.starts_with("./")) path.remove_prefix(2);
    out += path;
    return out;
}

}  // namespace

RunJournal::RunJournal(std::string backupFolder) : folder_(withSlash(std::move(backupFolder))) {}

RunJournal::~RunJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool RunJournal::begin() {
    // The new journal is complete with its first line before it replaces the last one.
    const std::string name = folder_ + std::string(journalName);
    const std::string fresh = name + ".new";
    do {
        fd_ = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    } while (fd_ < 0 && errno == EINTR);
    run_ = freshRunNumber();
    if (fd_ >= 0 && writeAll(fd_, sealed(std::string(header) + hex64(run_), 0)) &&
        ::rename(fresh.c_str(), name.c_str()) == 0)
        return true;
    if (fd_ >= 0) {
        ::close(fd_);
        ::unlink(fresh.c_str());
    }
    fd_ = -1;
    failed_ = true;
    return false;
}

bool RunJournal::reserve(std::string_view backup) {
    const std::lock_guard lock(mutex_);
    // A copy above the folder could not be found again from the journal.
    if (failed_ || !staysBelow(backup) || backup == journalName || backup == std::string(journalName) + ".new")
        return false;
    if (fd_ < 0 && !begin()) return false;
    return backups_.emplace(backup).second;
}

bool RunJournal::record(std::string_view path, std::string_view backup, const Fingerprint& written) {
    std::string rest = ' ' + std::to_string(written.size) + ' ' + hex64(written.high) + hex64(written.low) + ' ';
    appendEscaped(rest, absolute(path));
    rest += ' ';
    appendEscaped(rest, backup);
    // Entries are numbered in the order they are written, whichever thread writes them.
    const std::lock_guard lock(mutex_);
    if (fd_ < 0 || failed_) return false;
    std::string fields = "file " + std::to_string(++entries_) + rest;
    // One write per entry: a crash leaves it whole or cut short, and a cut-short entry can
    // only be the last.
    if (writeAll(fd_, sealed(std::move(fields), run_))) return true;
    failed_ = true;
    return false;
}

Journal readJournal(const std::string& backupFolder) {
    Journal journal;
    const std::string name = withSlash(backupFolder) + std::string(journalName);
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno != ENOENT) {
            journal.state = Journal::State::damaged;
            journal.problem = std::string("the journal cannot be read: ") + std::strerror(errno);
        }
        return journal;
    }
    std::string bytes;
    struct stat info;
    const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && readAll(fd, bytes);
    ::close(fd);
    if (!read) {
        journal.state = Journal::State::damaged;
        journal.problem = "the journal cannot be read";
        return journal;
    }

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
    bool spent = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view fields;
        if (!unseal(lines[i], i == 0 ? 0 : journal.run, fields)) {
            journal.state = Journal::State::damaged;
            journal.problem = "line " + std::to_string(i + 1) + " fails its check";
            journal.entries.clear();
            return journal;
        }
        const std::vector<std::string_view> parts = split(fields);
        bool understood;
        if (i == 0) {
            understood = fields.starts_with(header) && parseHex64(fields.substr(header.size()), journal.run);
        } else if (parts.size() == 1 && parts[0] == "spent") {
            understood = spent = true;
        } else {
            JournalEntry entry;
            understood = !spent && parseEntry(parts, journal.entries.size() + 1, entry);
            journal.entries.push_back(std::move(entry));
        }
        if (!understood) {
            journal.state = Journal::State::damaged;
            journal.problem = "line " + std::to_string(i + 1) + " is not understood";
            journal.entries.clear();
            return journal;
        }
        journal.validSize = static_cast<size_t>(lines[i].data() - bytes.data()) + lines[i].size() + 1;
    }
    journal.state = spent || journal.entries.empty() ? Journal::State::spent : Journal::State::ready;
    if (spent) journal.entries.clear();
    return journal;
}

bool undoRun(const std::string& backupFolder, const Journal& journal, UndoObserver& observer, UndoTotals& totals) {
    totals = UndoTotals{};
    if (journal.state != Journal::State::ready) return true;
    const std::string folder = withSlash(backupFolder);
    for (size_t i = 0; i < journal.entries.size(); ++i) {
        const JournalEntry& entry = journal.entries[i];
        const RestoreOutcome outcome = restoreFromBackup(folder + entry.backup, entry.path, entry.written);
        if (outcome == RestoreOutcome::restored) ++totals.restored;
        else if (outcome != RestoreOutcome::alreadyRestored) ++totals.leftAlone;
        observer.fileDone(i, entry, outcome);
    }
    // Spent: the entries are read no more. A part cut short at the end goes first, so that
    // the mark is read as the last line.
    const std::string name = folder + std::string(journalName);
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    const bool marked = ::ftruncate(fd, static_cast<off_t>(journal.validSize)) == 0 &&
                        ::lseek(fd, 0, SEEK_END) >= 0 && writeAll(fd, sealed("spent", journal.run));
    return ::close(fd) == 0 && marked;
}
