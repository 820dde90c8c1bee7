// The settings-file service. The file is read whole on open into a list of entries
// (group headers, comments, keys) held as UTF-8, and written back whole on close when
// something changed. The descriptor and an advisory lock are held from open to close.

#include "ini/settings_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <list>
#include <optional>
#include <string>
#include <utility>

#include "engine/descriptor_io.h"

namespace ini {
namespace {

// ---------------------------------------------------------------------------------------
// Text conversion. The file's text is kept as UTF-8 bytes; callers see UTF-16. A byte
// that is not part of a valid UTF-8 sequence becomes U+DC80 + byte and turns back into
// the same byte, so no file content is ever lost on the way through.

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string latin1ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char byte : bytes) appendUtf8(out, static_cast<unsigned char>(byte));
    return out;
}

// Reading uses the lossless conversion of text.h; writing differs from it only in a lone
// surrogate, which is stored as U+FFFD here.
std::string encodeUtf8(TextView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out += static_cast<char>(unit - 0xDC00);  // a byte kept from the file
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);  // a lone surrogate has no UTF-8 form
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------
// Small helpers on the UTF-8 form.

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names match ignoring the case of A-Z only; every other byte must be equal.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// A key is written as "key = value"; it is only stored when reading that line gives the
// same key back (no line break, no '=', no leading ';' or '[', no blanks at either end).
bool keyCanBeStored(std::string_view key) {
    if (hasLineBreak(key) || key.find('=') != std::string_view::npos) return false;
    if (key.empty()) return true;
    if (isBlank(key.front()) || isBlank(key.back())) return false;
    return key.front() != ';' && key.front() != '[';
}

// A header is written as "[name]"; the name reads back only without ']' and line breaks.
bool groupCanBeStored(std::string_view name) {
    return !hasLineBreak(name) && name.find(']') == std::string_view::npos;
}

// Decimal value: leading blanks, optional sign, digits up to the first other character.
// No digits give 0; values beyond the 32-bit range are held at its ends.
int32_t parseInt(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    int64_t magnitude = 0;
    const int64_t limit = negative ? -int64_t(INT32_MIN) : int64_t(INT32_MAX);
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (s[i] - '0');
        if (magnitude > limit) magnitude = limit;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

// ---------------------------------------------------------------------------------------
// The open-file record.

enum class EntryKind { Group, Comment, Key };

struct Entry {
    EntryKind kind;
    std::string name;   // group name, comment text or key
    std::string value;  // keys only, as stored (leading blanks removed, trailing kept)
};

using EntryList = std::list<Entry>;
using EntryPos = EntryList::iterator;

struct Record {
    bool active = false;       // between open/create and close
    int fd = -1;               // the file, held from open to close
    std::string createPath;    // a file absent at open, created at close if written to
    bool modified = false;
    bool readOnly = false;     // changes are dropped at close
    bool writesIgnored = false;  // create failed: nothing is collected
    bool withMark = false;     // written as UTF-8 with the byte-order mark and an empty line
    EntryList entries;
    EntryPos group;            // the selected group's header; entries.end() is the top section
    std::optional<std::string> pendingGroup;
    EntryPos scanNext;         // where the next nextKey starts looking
    EntryPos scanCurrent;      // the current key of the scan, or entries.end()

    Record() { reset(); }
    ~Record() {
        if (fd >= 0) ::close(fd);
    }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;

    void reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        active = false;
        createPath.clear();
        modified = readOnly = writesIgnored = withMark = false;
        entries.clear();
        group = scanNext = scanCurrent = entries.end();
        pendingGroup.reset();
    }
};

thread_local Record record;

// ---------------------------------------------------------------------------------------
// Parsing and serialising.

void parseLine(std::string_view line, EntryList& entries) {
    while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
    if (line.empty()) return;
    if (line.front() == ';') {
        line.remove_prefix(1);
        if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        entries.push_back(Entry{EntryKind::Comment, std::string(line), {}});
    } else if (line.front() == '[') {
        line.remove_prefix(1);
        entries.push_back(Entry{EntryKind::Group, std::string(line.substr(0, line.find(']'))), {}});
    } else {
        const std::size_t equals = line.find('=');
        std::string_view key = line.substr(0, equals);
        while (!key.empty() && isBlank(key.back())) key.remove_suffix(1);
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = line.substr(equals + 1);
            while (!value.empty() && isBlank(value.front())) value.remove_prefix(1);
        }
        entries.push_back(Entry{EntryKind::Key, std::string(key), std::string(value)});
    }
}

// Lines are separated by CR, LF or any run of them.
void parseText(std::string_view text, EntryList& entries) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        parseLine(text.substr(start, end - start), entries);
        start = text.find_first_not_of("\r\n", end);
        if (start == std::string_view::npos) break;
    }
}

// The entries as file bytes. A file without the mark is read back as Latin-1, so
// text beyond ASCII always gets the mark, even in a file that was empty at open.
std::string serialise(const Record& r) {
    std::string body;
    for (const Entry& e : r.entries) {
        switch (e.kind) {
        case EntryKind::Group: body += '[' + e.name + ']'; break;
        case EntryKind::Comment: body += "; " + e.name; break;
        case EntryKind::Key: body += e.name + " = " + e.value; break;
        }
        body += "\r\n";
    }
    const bool beyondAscii =
        std::any_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!r.withMark && !beyondAscii) return body;
    return "\xEF\xBB\xBF\r\n" + body;
}

bool writeAllFromStart(int fd, std::string_view bytes) {
    // Room for a file that grows is taken first: on a full disk the rewrite then stops
    // before it has overwritten anything, instead of leaving the file cut short.
    struct stat info {};
    if (::fstat(fd, &info) == 0 && static_cast<off_t>(bytes.size()) > info.st_size) {
        int reserved;
        do {
            reserved = ::fallocate(fd, 0, info.st_size, static_cast<off_t>(bytes.size()) - info.st_size);
        } while (reserved != 0 && errno == EINTR);
        if (reserved != 0 && errno != EOPNOTSUPP && errno != ENOSYS) return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// Opens path without blocking on special files; only regular files are accepted.
int openRegular(const std::string& path, int flags, mode_t mode = 0) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status != -1) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

// Takes the advisory lock. False only when another holder has it; file systems without
// lock support count as success.
bool lockExclusive(int fd) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        return errno != EWOULDBLOCK;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Lookup and insertion within the selected group.

EntryPos groupStart(Record& r) {
    return r.group == r.entries.end() ? r.entries.begin() : std::next(r.group);
}

std::optional<EntryPos> findKey(Record& r, std::string_view key) {
    if (!r.active || r.pendingGroup) return std::nullopt;
    for (EntryPos it = groupStart(r); it != r.entries.end() && it->kind != EntryKind::Group; ++it) {
        if (it->kind == EntryKind::Key && sameName(it->name, key)) return it;
    }
    return std::nullopt;
}

// Just after the selected group's last entry: its next header, or the end of the list.
EntryPos groupEnd(Record& r) {
    EntryPos it = groupStart(r);
    while (it != r.entries.end() && it->kind != EntryKind::Group) ++it;
    return it;
}

void writeValue(std::string_view key, std::string value) {
    Record& r = record;
    if (!r.active || r.writesIgnored) return;
    if (!keyCanBeStored(key) || hasLineBreak(value)) return;
    if (r.pendingGroup) {
        if (!groupCanBeStored(*r.pendingGroup)) return;
        r.group = r.entries.insert(r.entries.end(), Entry{EntryKind::Group, std::move(*r.pendingGroup), {}});
        r.pendingGroup.reset();
    }
    if (auto found = findKey(r, key)) {
        (*found)->name = std::string(key);
        (*found)->value = std::move(value);
    } else {
        r.entries.insert(groupEnd(r), Entry{EntryKind::Key, std::string(key), std::move(value)});
    }
    r.modified = true;
}

}  // namespace

// ---------------------------------------------------------------------------------------

bool open(const std::string& path) {
    close();
    Record& r = record;
    r.active = true;

    int fd = openRegular(path, O_RDWR);
    bool readOnly = false;
    if (fd < 0 && errno != ENOENT) {
        fd = openRegular(path, O_RDONLY);
        readOnly = true;
    }
    if (fd < 0) {
        // Only a file that does not exist is created at close. A file that exists but
        // cannot be read is never replaced: changes made to it are simply dropped.
        if (errno == ENOENT) r.createPath = path;
        r.withMark = true;
        return false;
    }
    if (!lockExclusive(fd)) readOnly = true;

    std::string bytes;
    if (!readAll(fd, bytes)) {
        ::close(fd);
        r.withMark = true;
        return false;
    }
    r.fd = fd;
    r.readOnly = readOnly;

    if (bytes.size() > 2 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        r.withMark = true;
        parseText(std::string_view(bytes).substr(3), r.entries);
    } else if (!bytes.empty()) {
        r.withMark = true;
        parseText(latin1ToUtf8(bytes), r.entries);
    }
    r.group = r.scanNext = r.scanCurrent = r.entries.end();
    return true;
}

bool create(const std::string& path) {
    close();
    Record& r = record;
    r.active = true;
    r.withMark = true;
    const int fd = openRegular(path, O_RDWR | O_CREAT, 0666);
    if (fd < 0 || !lockExclusive(fd) || ::ftruncate(fd, 0) != 0) {
        if (fd >= 0) ::close(fd);
        r.writesIgnored = true;
        return false;
    }
    r.fd = fd;
    return true;
}

void close() {
    Record& r = record;
    if (!r.active) return;
    if (r.modified && !r.readOnly && !r.writesIgnored) {
        if (r.fd < 0 && !r.createPath.empty()) {
            // Absent at open: create it now, but never over a file that appeared meanwhile.
            r.fd = ::open(r.createPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        }
        if (r.fd >= 0) writeAllFromStart(r.fd, serialise(r));
    }
    r.reset();
}

bool useGroup(std::string_view name) {
    Record& r = record;
    if (!r.active) return name.empty();
    r.pendingGroup.reset();
    r.group = r.entries.end();
    if (name.empty()) return true;
    for (EntryPos it = r.entries.begin(); it != r.entries.end(); ++it) {
        if (it->kind == EntryKind::Group && sameName(it->name, name)) {
            r.group = it;
            return true;
        }
    }
    r.pendingGroup = std::string(name);
    return false;
}

int32_t getInt(std::string_view key, int32_t defaultValue) {
    const auto found = findKey(record, key);
    return found ? parseInt((*found)->value) : defaultValue;
}

Text getText(std::string_view key, TextView defaultValue) {
    const auto found = findKey(record, key);
    return found ? textFromUtf8(trimBlanks((*found)->value)) : Text(defaultValue);
}

void setInt(std::string_view key, int32_t value) { writeValue(key, std::to_string(value)); }

void setText(std::string_view key, TextView value) { writeValue(key, encodeUtf8(value)); }

void eraseKey(std::string_view key) {
    Record& r = record;
    if (r.writesIgnored) return;
    const auto found = findKey(r, key);
    if (!found) return;  // nothing removed, nothing to write back
    if (r.scanCurrent == *found) r.scanCurrent = r.entries.end();
    if (r.scanNext == *found) r.scanNext = std::next(*found);
    r.entries.erase(*found);
    r.modified = true;
}

bool beginKeyScan() {
    Record& r = record;
    if (!r.active || r.writesIgnored || r.pendingGroup) return false;
    r.scanNext = groupStart(r);
    r.scanCurrent = r.entries.end();
    return true;
}

bool nextKey() {
    Record& r = record;
    if (!r.active) return false;
    EntryPos it = r.scanNext;
    while (it != r.entries.end() && it->kind == EntryKind::Comment) ++it;
    if (it == r.entries.end() || it->kind == EntryKind::Group) {
        r.scanNext = it;
        r.scanCurrent = r.entries.end();
        return false;
    }
    r.scanCurrent = it;
    r.scanNext = std::next(it);
    return true;
}

Text scannedKey() {
    Record& r = record;
    if (!r.active || r.scanCurrent == r.entries.end()) return {};
    return textFromUtf8(r.scanCurrent->name);
}

Text scannedValue() {
    Record& r = record;
    if (!r.active || r.scanCurrent == r.entries.end()) return {};
    return textFromUtf8(trimBlanks(r.scanCurrent->value));
}

}  // namespace ini
