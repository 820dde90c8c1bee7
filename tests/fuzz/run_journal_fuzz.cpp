// The journal of a run, as its writer writes it and its reader reads it back. Properties:
// every journal the writer writes (any path bytes, any fingerprints, an entry refused
// where the writer refuses it) reads back as exactly the entries written; and a journal
// changed anywhere is never read as entries the run did not write: the reader either
// refuses it as damaged or, when only the end was cut off as a crash would, gives the
// first entries as written. A byte flipped or inserted before the last line always makes
// the journal damaged. The same journal copied into another folder is refused there. And
// the undo puts a backup copy back only when it is the copy the entry names: any other
// copy leaves the file as it is.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/run_journal.h"
#include "fuzz_support.h"

using namespace fuzz;

namespace {

bool sameEntries(const std::vector<JournalEntry>& read, const std::vector<JournalEntry>& written, size_t count) {
    if (read.size() != count || count > written.size()) return false;
    for (size_t i = 0; i < count; ++i) {
        if (read[i].path != written[i].path || read[i].backup != written[i].backup ||
            !(read[i].written == written[i].written) || !(read[i].copied == written[i].copied) ||
            read[i].number != i + 1)
            return false;
    }
    return true;
}

class Outcomes : public UndoObserver {
public:
    void fileDone(size_t, const JournalEntry&, const RestoreResult& result) override { seen.push_back(result.outcome); }
    std::vector<RestoreOutcome> seen;
};

uint64_t numberOf(const std::string& bytes) {
    uint64_t value = 0;
    for (size_t i = 0; i < bytes.size() && i < 8; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

}  // namespace

namespace {

// A file the run changed, with its copy: the undo gives the file the copy's bytes only when
// the entry names that copy's fingerprint.
void undoPutsBackOnlyTheCopyNamed(Input& input) {
    const std::string folder = scratchPath("undo");
    ::mkdir(folder.c_str(), 0700);
    const std::string target = scratchPath("undo-target");
    const std::string now = input.field();
    const std::string copy = input.field();
    const bool named = (input.byte() & 1) != 0;
    writeFile(target, now);
    writeFile(folder + "/copy", copy);
    ::unlink((folder + "/" + std::string(journalName)).c_str());
    {
        RunJournal journal(folder);
        const Fingerprint copied = named ? fingerprintOf(copy) : Fingerprint{numberOf(input.field()), 1, 2};
        FUZZ_EXPECT(journal.lockFolder() && journal.reserve("copy") &&
                        journal.record(target, "copy", fingerprintOf(now), copied),
                    "the entry was not written");
    }
    Outcomes outcomes;
    UndoTotals totals;
    const Journal journal = readJournal(folder);
    FUZZ_EXPECT(undoRun(folder, journal, outcomes, totals) == UndoEnd::done && outcomes.seen.size() == 1,
                "the undo of one entry did not end as done (%zu outcomes, %s)", outcomes.seen.size(),
                journal.problem.c_str());
    // A fingerprint whose hash halves are 1 and 2 is no copy's.
    const RestoreOutcome expected = named ? RestoreOutcome::restored : RestoreOutcome::backupChanged;
    FUZZ_EXPECT(outcomes.seen[0] == expected, "the undo said %d, not %d", static_cast<int>(outcomes.seen[0]),
                static_cast<int>(expected));
    FUZZ_EXPECT(readFile(target) == (expected == RestoreOutcome::backupChanged ? now : copy),
                "the file holds other bytes than it should after the undo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input(data, size);
    if (size > 0 && data[0] == 0xFF) {
        input.byte();
        undoPutsBackOnlyTheCopyNamed(input);
        return 0;
    }
    const size_t count = input.byte() % 7;
    const uint8_t mutation = input.byte();
    const size_t at = static_cast<size_t>(input.byte()) << 8 | input.byte();
    const std::string inserted = input.field();

    const std::string folder = scratchPath("journal");
    ::mkdir(folder.c_str(), 0700);
    const std::string journalPath = folder + "/" + std::string(journalName);
    ::unlink(journalPath.c_str());

    std::vector<JournalEntry> written;
    {
        RunJournal journal(folder);
        for (size_t i = 0; i < count; ++i) {
            JournalEntry entry;
            entry.path = "/" + input.field();
            entry.backup = input.field();
            const std::string hash = input.field();
            entry.written = Fingerprint{numberOf(input.field()), numberOf(hash), numberOf(hash.size() > 8 ? hash.substr(8) : "")};
            if (!journal.reserve(entry.backup)) continue;
            entry.copied = Fingerprint{numberOf(hash.size() > 4 ? hash.substr(4) : ""), numberOf(entry.path),
                                       numberOf(entry.backup)};
            FUZZ_EXPECT(journal.record(entry.path, entry.backup, entry.written, entry.copied),
                        "an entry was not written");
            written.push_back(entry);
        }
    }
    const Journal clean = readJournal(folder);
    if (!written.empty()) {
        // Copied into another folder, it is not obeyed there.
        const std::string other = scratchPath("journal-copy");
        ::mkdir(other.c_str(), 0700);
        writeFile(other + "/" + std::string(journalName), readFile(journalPath), 0600);
        const Journal copied = readJournal(other);
        FUZZ_EXPECT(copied.state == Journal::State::damaged && copied.entries.empty(),
                    "a journal copied into another folder reads as state %d", static_cast<int>(copied.state));
    }
    if (written.empty()) {
        FUZZ_EXPECT(clean.state == Journal::State::none || clean.state == Journal::State::spent,
                    "a journal without entries reads as state %d", static_cast<int>(clean.state));
        return 0;
    }
    FUZZ_EXPECT(clean.state == Journal::State::ready && sameEntries(clean.entries, written, written.size()),
                "the journal as written reads back as state %d with %zu entries of %zu (%s)",
                static_cast<int>(clean.state), clean.entries.size(), written.size(), clean.problem.c_str());

    // One change: a bit flipped, bytes inserted, bytes deleted, or the end cut off.
    const std::string original = readFile(journalPath);
    const size_t lastLine = original.rfind('\n', original.size() - 2) + 1;
    std::string changed = original;
    const size_t position = at % original.size();
    bool beforeLastLine = position < lastLine;
    switch (mutation % 4) {
        case 0: changed[position] = static_cast<char>(changed[position] ^ (1 << (mutation >> 5 & 7))); break;
        case 1:
            if (inserted.empty()) return 0;
            changed.insert(position, inserted);
            break;
        case 2: {
            const size_t length = std::min<size_t>(1 + (mutation >> 2), original.size() - position);
            changed.erase(position, length);
            // Deleting up to the end is cutting the end off, as a crash may.
            beforeLastLine = beforeLastLine && position + length < original.size();
            break;
        }
        case 3:
            changed.resize(position);
            beforeLastLine = false;
            break;
    }
    if (changed == original) return 0;
    writeFile(journalPath, changed);
    const Journal read = readJournal(folder);
    if (read.state == Journal::State::damaged) {
        FUZZ_EXPECT(read.entries.empty() && !read.problem.empty(), "a damaged journal still gives %zu entries",
                    read.entries.size());
        return 0;
    }
    FUZZ_EXPECT(!beforeLastLine, "a change at byte %zu, before the last line (byte %zu), was accepted: state %d "
                "with %zu entries\n  journal %s", position, lastLine, static_cast<int>(read.state),
                read.entries.size(), hexOf(changed).c_str());
    FUZZ_EXPECT(sameEntries(read.entries, written, read.entries.size()),
                "a changed journal gives entries that were not written (%zu of %zu)\n  journal %s",
                read.entries.size(), written.size(), hexOf(changed).c_str());
    return 0;
}
