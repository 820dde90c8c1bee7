#include "cli/rif_diff.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include <dtl/dtl.hpp>

#include "cli/rif_colour.h"
#include "engine/change_bytes.h"

namespace {

// The lines of a unified diff of bytes: the lines of the file as patch and git see them.
using Lines = std::vector<std::string>;

// A file's lines split after each LF, each with its own line end (LF or CR LF; a CR
// alone is a byte of its line, as it is to patch and git); the last may have none.
Lines byteLines(std::string_view bytes) {
    Lines lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.emplace_back(bytes.substr(start, end - start));
        start = end;
    }
    return lines;
}

// The UTF-16LE bytes of a file after its mark, as UTF-8.
std::string utf16AsUtf8(std::string_view bytes) {
    Text text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             static_cast<unsigned char>(bytes[i + 1]) << 8));
    return textToUtf8(text);
}

// The name of a file in a "---" or "+++" line, as git writes it: in double quotes with C
// escapes when it holds a control character, a quote or a backslash; followed by a tab
// when it holds a space, so that patch takes the whole name.
std::string headerName(std::string_view prefix, const std::string& path) {
    const std::string name = std::string(prefix) + path;
    bool quote = false;
    for (const char c : name) quote = quote || static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '"' || c == '\\';
    if (!quote) return name.find(' ') == std::string::npos ? name : name + "\t";
    std::string out = "\"";
    for (const char c : name) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    const unsigned byte = static_cast<unsigned char>(c);
                    out += '\\';
                    out += static_cast<char>('0' + (byte >> 6));
                    out += static_cast<char>('0' + ((byte >> 3) & 7));
                    out += static_cast<char>('0' + (byte & 7));
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

// One line of the edit script: kept, removed or added, with where it stands in the old
// and the new lines (the number of lines before it in each).
struct Edit {
    dtl::edit_t type;
    size_t before;
    size_t after;
    const std::string* line;
};

constexpr size_t contextLines = 3;

// Writes the hunks of the edit script: each change with up to three unchanged lines
// around it, changes closer than twice that in one hunk.
class HunkWriter {
public:
    HunkWriter(std::ostream& out, bool coloured) : out_(out), coloured_(coloured) {}

    void write(const std::vector<Edit>& edits) {
        const size_t n = edits.size();
        size_t k = 0;
        while (k < n) {
            while (k < n && edits[k].type == dtl::SES_COMMON) ++k;
            if (k == n) break;
            const size_t start = k >= contextLines ? k - contextLines : 0;
            size_t end = k;
            for (;;) {
                while (end < n && edits[end].type != dtl::SES_COMMON) ++end;
                size_t next = end;
                while (next < n && edits[next].type == dtl::SES_COMMON) ++next;
                if (next == n || next - end > 2 * contextLines) break;
                end = next;
            }
            const size_t stop = std::min(n, end + contextLines);
            hunk(edits, start, stop);
            k = stop;
        }
    }

private:
    // "-5,2" (or "-5" for one line; a range of no lines gives the line before it).
    static std::string range(char sign, size_t before, size_t count) {
        std::string text(1, sign);
        text += std::to_string(count == 0 ? before : before + 1);
        if (count != 1) text += "," + std::to_string(count);
        return text;
    }

    void hunk(const std::vector<Edit>& edits, size_t start, size_t stop) {
        size_t removed = 0, added = 0;
        for (size_t i = start; i < stop; ++i) {
            removed += edits[i].type != dtl::SES_ADD ? 1 : 0;
            added += edits[i].type != dtl::SES_DELETE ? 1 : 0;
        }
        const std::string header = "@@ " + range('-', edits[start].before, removed) + " " +
                                   range('+', edits[start].after, added) + " @@";
        out_ << painted(header, colour::hunk, coloured_) << '\n';
        // Within a change, the removed lines come before the added ones.
        for (size_t i = start; i < stop;) {
            if (edits[i].type == dtl::SES_COMMON) {
                line(' ', *edits[i++].line, {});
                continue;
            }
            size_t j = i;
            while (j < stop && edits[j].type != dtl::SES_COMMON) ++j;
            for (size_t m = i; m < j; ++m)
                if (edits[m].type == dtl::SES_DELETE) line('-', *edits[m].line, colour::removed);
            for (size_t m = i; m < j; ++m)
                if (edits[m].type == dtl::SES_ADD) line('+', *edits[m].line, colour::added);
            i = j;
        }
    }

    // A line with its sign; a last line without a line end is marked so.
    void line(char sign, const std::string& bytes, std::string_view colour) {
        const bool ended = !bytes.empty() && bytes.back() == '\n';
        const std::string_view body(bytes.data(), bytes.size() - (ended ? 1 : 0));
        const bool paint = coloured_ && !colour.empty();
        if (paint) out_ << colour;
        out_ << sign << body;
        if (paint) out_ << colour::reset;
        out_ << '\n';
        if (!ended) out_ << "\\ No newline at end of file\n";
    }

    std::ostream& out_;
    bool coloured_;
};

}  // namespace

void printDiff(std::ostream& out, const std::string& path, const FileReport& report, bool coloured) {
    if (report.oldBytes == report.newBytes) return;
    const bool utf16 = report.format == TextFormat::utf16le;
    const size_t mark = markLength(report.format);
    const Lines before = byteLines(utf16 ? utf16AsUtf8(std::string_view(report.oldBytes).substr(mark))
                                         : report.oldBytes);
    const Lines after = byteLines(utf16 ? utf16AsUtf8(std::string_view(report.newBytes).substr(mark))
                                        : report.newBytes);
    dtl::Diff<std::string> diff(before, after);
    diff.onHuge();
    diff.compose();
    std::vector<Edit> edits;
    size_t inBefore = 0, inAfter = 0;
    for (const auto& [line, info] : diff.getSes().getSequence()) {
        const Edit edit{info.type, inBefore, inAfter, nullptr};
        if (info.type != dtl::SES_ADD) ++inBefore;
        if (info.type != dtl::SES_DELETE) ++inAfter;
        edits.push_back(edit);
    }
    // The script's lines are its own copies: each edit points at the file's line instead.
    for (Edit& edit : edits) edit.line = edit.type == dtl::SES_ADD ? &after[edit.after] : &before[edit.before];
    if (utf16)
        out << painted("# " + path + ": UTF-16LE, shown as UTF-8 text: for reading, patch cannot apply this part",
                       colour::path, coloured)
            << '\n';
    out << painted("--- " + headerName("a/", path), colour::path, coloured) << '\n'
        << painted("+++ " + headerName("b/", path), colour::path, coloured) << '\n';
    HunkWriter(out, coloured).write(edits);
}
