// The settings-file service: a file read and closed without a write keeps its bytes; a
// value set is read back, and nothing else changes.
//
// Input: a flags byte, a count byte, that many (group, key) pairs to look up (each a
// field), the group, key and value to set (each a field), then the file's bytes.
// Flags: 1 starts without the file, 2 sets a number (the value's first four bytes) instead
// of a text, 4 reads the value as raw UTF-16 units.
//
// Properties:
// - opening, looking up and scanning keys, then closing leaves the bytes as they were;
// - after a value is set in a group and the file closed, opening it again finds the group
//   and reads the value back (a text without its blanks at either end; a lone surrogate
//   comes back as U+FFFD); every other key looked up gives what it gave before, and the
//   scan of each group looked up lists the same keys and values, with the one set changed
//   in place or added at the end of its group;
// - a key, value or new group the file cannot hold (see keyCanBeStored and the like in
//   settings_file.cpp) leaves the file as it was;
// - a file written once with the mark is written the same way again when the same value is
//   set again.

#include <cstdint>
#include <utility>

#include "fuzz_support.h"
#include "ini/settings_file.h"

using namespace fuzz;

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// Names are the same when they differ at most in the case of A-Z.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// A key is written as "key = value": it reads back only without line breaks and '=',
// without blanks at either end, and not starting with ';' or '['.
bool keyFits(std::string_view key) {
    if (hasLineBreak(key) || key.find('=') != std::string_view::npos) return false;
    if (key.empty()) return true;
    return !isBlank(key.front()) && !isBlank(key.back()) && key.front() != ';' && key.front() != '[';
}

// A group is written as "[name]".
bool groupFits(std::string_view name) { return !hasLineBreak(name) && name.find(']') == std::string_view::npos; }

// What reading back gives for a text that was set: stored as UTF-8 with a lone surrogate
// as U+FFFD (an escape unit U+DC80..U+DCFF as its byte), read losslessly, blanks at either
// end dropped.
Text readBackOf(TextView value) {
    Text stored;
    for (size_t i = 0; i < value.size(); ++i) {
        const char16_t u = value[i];
        if (isHighSurrogate(u) && i + 1 < value.size() && isLowSurrogate(value[i + 1])) {
            stored += u;
            stored += value[++i];
        } else if ((isHighSurrogate(u) || isLowSurrogate(u)) && !(u >= 0xDC80 && u <= 0xDCFF)) {
            stored += u'\uFFFD';
        } else {
            stored += u;
        }
    }
    std::string bytes = textToUtf8(stored);
    while (!bytes.empty() && isBlank(bytes.front())) bytes.erase(0, 1);
    while (!bytes.empty() && isBlank(bytes.back())) bytes.pop_back();
    return textFromUtf8(bytes);
}

struct Lookup {
    std::string group, key;
    bool groupFound = false;
    Text text;
    int32_t number = 0;
    std::vector<std::pair<Text, Text>> scan;
};

void lookUp(Lookup& q) {
    q.groupFound = ini::useGroup(q.group);
    q.text = ini::getText(q.key, u"<absent>");
    q.number = ini::getInt(q.key, -7);
    q.scan.clear();
    if (ini::beginKeyScan())
        while (ini::nextKey()) q.scan.emplace_back(ini::scannedKey(), ini::scannedValue());
}

std::string describeScan(const std::vector<std::pair<Text, Text>>& scan) {
    std::string out;
    for (const auto& [key, value] : scan) out += " " + unitsOf(key) + "=" + unitsOf(value);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    const uint8_t flags = input.byte();
    const bool absent = (flags & 1) != 0;
    const bool number = (flags & 2) != 0;
    const size_t count = input.byte() % 5;
    std::vector<Lookup> lookups(count + 1);
    for (size_t i = 0; i < count; ++i) {
        lookups[i].group = input.field();
        lookups[i].key = input.field();
    }
    const std::string group = input.field();
    const std::string key = input.field();
    const std::string valueBytes = input.field();
    const std::string bytes = input.rest();
    lookups[count].group = group;
    lookups[count].key = key;
    const Text value = textOf(valueBytes, (flags & 4) != 0);
    int32_t numberValue = 0;
    for (size_t i = 0; i < 4 && i < valueBytes.size(); ++i)
        numberValue = static_cast<int32_t>(static_cast<uint32_t>(numberValue) << 8 | static_cast<unsigned char>(valueBytes[i]));

    const std::string path = scratchPath("settings.ini");
    ::unlink(path.c_str());
    if (!absent) writeFile(path, bytes);
    const std::string original = absent ? std::string("<missing>") : bytes;

    // Read only.
    const bool opened = ini::open(path);
    FUZZ_EXPECT(opened == !absent, "open says %d for a file that %s", opened, absent ? "is missing" : "is there");
    for (Lookup& q : lookups) lookUp(q);
    ini::close();
    FUZZ_EXPECT(readFile(path) == original, "read and closed, the file is now %s\n  was %s",
                hexOf(readFile(path)).c_str(), hexOf(original).c_str());

    // One value set.
    ini::open(path);
    const bool groupThere = ini::useGroup(group);
    if (number) ini::setInt(key, numberValue);
    else ini::setText(key, value);
    ini::close();
    const std::string written = readFile(path);
    const bool fits = keyFits(key) && (number || value.find_first_of(u"\r\n") == Text::npos) &&
                      (groupThere || groupFits(group));
    if (!fits) {
        FUZZ_EXPECT(written == original, "a key or value the file cannot hold changed it to %s\n  from %s",
                    hexOf(written).c_str(), hexOf(original).c_str());
        return 0;
    }
    const Text wantText = number ? textFromUtf8(std::to_string(numberValue)) : readBackOf(value);

    FUZZ_EXPECT(ini::open(path), "the written file does not open");
    for (const Lookup& before : lookups) {
        Lookup after = before;
        lookUp(after);
        const bool here = sameName(before.group, group);
        if (here && sameName(before.key, key)) {
            FUZZ_EXPECT(after.groupFound && after.text == wantText,
                        "set %s, read back %s (group found %d; key %s, group %s)\n  file now %s",
                        unitsOf(wantText).c_str(), unitsOf(after.text).c_str(), after.groupFound,
                        hexOf(key).c_str(), hexOf(group).c_str(), hexOf(written).c_str());
            if (number)
                FUZZ_EXPECT(after.number == numberValue, "set the number %d, read back %d", numberValue,
                            after.number);
        } else {
            FUZZ_EXPECT(after.text == before.text && after.number == before.number,
                        "another key changed: %s to %s (key %s, group %s)\n  file now %s", unitsOf(before.text).c_str(),
                        unitsOf(after.text).c_str(), hexOf(before.key).c_str(), hexOf(before.group).c_str(),
                        hexOf(written).c_str());
        }
        std::vector<std::pair<Text, Text>> wantScan = before.scan;
        if (here) {
            bool replaced = false;
            for (auto& [k, v] : wantScan) {
                if (sameName(textToUtf8(k), key)) {
                    k = textFromUtf8(key);
                    v = wantText;
                    replaced = true;
                    break;
                }
            }
            if (!replaced) wantScan.emplace_back(textFromUtf8(key), wantText);
        }
        FUZZ_EXPECT(after.scan == wantScan, "the keys of group %s are now%s\n  expected%s\n  file now %s",
                    hexOf(before.group).c_str(), describeScan(after.scan).c_str(), describeScan(wantScan).c_str(),
                    hexOf(written).c_str());
    }
    ini::close();
    FUZZ_EXPECT(readFile(path) == written, "read and closed, the written file changed");

    // The same value again: the same bytes. (A file that was empty and stays ASCII is written
    // without the mark the first time and gets it the next, as every non-empty file does.)
    if (!written.starts_with("\xEF\xBB\xBF")) return 0;
    ini::open(path);
    ini::useGroup(group);
    if (number) ini::setInt(key, numberValue);
    else ini::setText(key, value);
    ini::close();
    FUZZ_EXPECT(readFile(path) == written, "written again: %s\n  first time: %s", hexOf(readFile(path)).c_str(),
                hexOf(written).c_str());
    return 0;
}
