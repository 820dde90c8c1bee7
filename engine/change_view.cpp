#include "engine/change_view.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {

struct Edit {
    size_t start;
    size_t length;
    Text replacement;
};

// A line end as the run would write it: each line of the text searched ends with CR LF
// unless the file's own line ends are kept.
TextView endText(LineEnds::Kind kind) {
    switch (kind) {
        case LineEnds::crLf: return u"\r\n";
        case LineEnds::lf: return u"\n";
        case LineEnds::cr: return u"\r";
        case LineEnds::zero: break;
    }
    return u"\r\n";
}

// The text as it comes back from the file's code page: characters the set cannot hold are
// written as "?".
class CodePage {
public:
    CodePage(TextFormat format, const std::string& charset) {
        if (format != TextFormat::ansi || charset.empty()) return;
        fd_ = ::memfd_create("change-view", MFD_CLOEXEC);
        charset_ = charset;
    }
    ~CodePage() {
        if (fd_ >= 0) ::close(fd_);
    }
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    void apply(Text& line) {
        if (fd_ < 0 || line.empty()) return;
        if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) return;
        {
            std::unique_ptr<TextFile> out = writeToDescriptor(fd_, charset_);
            writeText(*out, line, TextFormat::ansi);
            if (!closeFile(*out)) return;
        }
        struct stat status;
        std::unique_ptr<TextFile> in =
            openWholeFile("/proc/self/fd/" + std::to_string(fd_), bytes_, status,
                          [](const struct stat&) { return true; }, charset_);
        if (!in) return;
        Text back;
        readText(*in, TextFormat::ansi, back);
        line.swap(back);
    }

private:
    int fd_ = -1;
    std::string charset_;
    FileBytes bytes_;
};

// Builds the stretches from the text searched (lines joined by CR LF) and the edits.
class StretchBuilder {
public:
    StretchBuilder(TextView text, const std::vector<Edit>& edits, const RewriteOptions& options,
                   const LineEnds& ends, CodePage& codePage)
        : text_(text), edits_(edits), keep_(options.keepLineEnds), ends_(ends), codePage_(codePage) {
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == u'\r' && text[i + 1] == u'\n') breaks_.push_back(i);
        }
        firstEnd_ = ends.kinds.empty() || ends.kinds.front() == LineEnds::zero ? LineEnds::lf : ends.kinds.front();
    }

    std::vector<ChangedStretch> build() {
        std::vector<ChangedStretch> stretches;
        long shift = 0;  // lines gained (or lost) by the stretches so far
        for (size_t first = 0; first < edits_.size();) {
            size_t firstLine = lineOf(edits_[first].start);
            size_t lastLine = lineOf(edits_[first].start + edits_[first].length);
            size_t last = first + 1;
            while (last < edits_.size() && lineOf(edits_[last].start) <= lastLine) {
                lastLine = std::max(lastLine, lineOf(edits_[last].start + edits_[last].length));
                ++last;
            }
            ChangedStretch stretch;
            stretch.firstLine = firstLine + 1;
            stretch.newFirstLine = static_cast<size_t>(static_cast<long>(firstLine) + 1 + shift);
            describe(firstLine, lastLine, first, last, stretch);
            shift += static_cast<long>(stretch.after.size()) - static_cast<long>(stretch.before.size());
            stretches.push_back(std::move(stretch));
            first = last;
        }
        return stretches;
    }

private:
    // The line a position of the text is in: a line's end (the CR of its break) is in it.
    size_t lineOf(size_t position) const {
        return static_cast<size_t>(std::lower_bound(breaks_.begin(), breaks_.end(), position) - breaks_.begin());
    }
    size_t lineStart(size_t line) const { return line == 0 ? 0 : breaks_[line - 1] + 2; }
    size_t lineEnd(size_t line) const { return line < breaks_.size() ? breaks_[line] : text_.size(); }
    // The end the run writes after old line, when the line break there is kept.
    Text endAfter(size_t line) const {
        if (!keep_) return Text(u"\r\n");
        if (line < breaks_.size()) return Text(line < ends_.kinds.size() ? endText(ends_.kinds[line]) : u"\r\n");
        return ends_.last && !ends_.kinds.empty() ? Text(endText(ends_.kinds.back())) : Text();
    }

    void describe(size_t firstLine, size_t lastLine, size_t first, size_t last, ChangedStretch& stretch) {
        // Before: the old lines, the replaced stretches marked.
        for (size_t line = firstLine; line <= lastLine; ++line) {
            ShownLine shown;
            const size_t from = lineStart(line), to = lineEnd(line);
            shown.text = Text(text_.substr(from, to - from));
            for (size_t e = first; e < last; ++e) {
                const size_t start = std::max(edits_[e].start, from);
                const size_t end = std::min(edits_[e].start + edits_[e].length, to);
                if (end > start) shown.marks.emplace_back(start - from, end - start);
            }
            stretch.before.push_back(std::move(shown));
        }
        // After: the same stretch with the edits made, split where the run would break lines.
        ShownLine current;
        auto breakLine = [&](Text end) {
            current.lineEnd = std::move(end);
            stretch.after.push_back(std::move(current));
            current = ShownLine();
        };
        // Copies old text, whose CR LF pairs are the breaks of old lines.
        auto copyOld = [&](size_t from, size_t to) {
            while (from < to) {
                const size_t cut = std::min(lineEnd(lineOf(from)), to);
                current.text.append(text_.substr(from, cut - from));
                if (cut == to) break;
                breakLine(endAfter(lineOf(from)));
                from = cut + 2;
            }
        };
        const Text inserted = keep_ ? Text(endText(firstEnd_)) : Text(u"\r\n");
        size_t at = lineStart(firstLine);
        for (size_t e = first; e < last; ++e) {
            copyOld(at, edits_[e].start);
            const Text& replacement = edits_[e].replacement;
            size_t markStart = current.text.size();
            for (size_t i = 0; i < replacement.size(); ++i) {
                const char16_t unit = replacement[i];
                if (unit != u'\r' && unit != u'\n') {
                    current.text.push_back(unit);
                    continue;
                }
                if (current.text.size() > markStart) current.marks.emplace_back(markStart, current.text.size() - markStart);
                if (unit == u'\r' && i + 1 < replacement.size() && replacement[i + 1] == u'\n') ++i;
                breakLine(inserted);
                markStart = 0;
            }
            if (current.text.size() > markStart) current.marks.emplace_back(markStart, current.text.size() - markStart);
            at = edits_[e].start + edits_[e].length;
        }
        copyOld(at, lineEnd(lastLine));
        breakLine(endAfter(lastLine));
        for (ShownLine& line : stretch.after) {
            const size_t length = line.text.size();
            codePage_.apply(line.text);
            // A character the code page cannot hold may come back as more or fewer units.
            if (line.text.size() != length) {
                for (auto& mark : line.marks) {
                    mark.first = std::min(mark.first, line.text.size());
                    mark.second = std::min(mark.second, line.text.size() - mark.first);
                }
            }
        }
    }

    TextView text_;
    const std::vector<Edit>& edits_;
    bool keep_;
    const LineEnds& ends_;
    CodePage& codePage_;
    std::vector<size_t> breaks_;  // where each CR LF between two lines starts
    LineEnds::Kind firstEnd_;
};

}  // namespace

FileChanges describeChanges(const std::string& path, const PreparedRow& row, RewriteOptions options, size_t limit) {
    FileChanges changes;
    options.dryRun = true;
    options.keepOldText = true;
    FileRewriter rewriter(options);
    changes.outcome = rewriter.rewrite(path, row, {});
    if (changes.outcome != FileOutcome::changed) return changes;
    changes.replacements = rewriter.lastReplacements();
    const Text& text = rewriter.lastOldText();
    std::vector<Edit> edits;
    findReplacements(text, row, [&](size_t start, size_t length, TextView replacement) {
        if (edits.size() < limit) edits.push_back({start, length, Text(replacement)});
    });
    changes.shownReplacements = edits.size();
    CodePage codePage(rewriter.lastFormat(), options.ansiCharset);
    StretchBuilder builder(text, edits, options, rewriter.lastLineEnds(), codePage);
    changes.stretches = builder.build();
    return changes;
}
