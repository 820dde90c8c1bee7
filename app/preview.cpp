#include "app/preview.h"

#include <optional>

#include "app/app_state.h"
#include "app/code_pages.h"
#include "app/languages.h"
#include "app/messages.h"
#include "app/run.h"
#include "app/search.h"
#include "engine/change_view.h"
#include "ui/toolkit/toolkit.h"

namespace {

// The places of one file the change view shows.
constexpr size_t viewLimit = 1000;

// What the last preview was run with, for the change view of its rows.
struct LastPreview {
    PreparedRow row;
    RewriteOptions options;
    Text root;
    size_t files = 0;
};
std::optional<LastPreview> lastPreview;

Text lineNumber(size_t number) {
    Text text = numberToText(static_cast<int64_t>(number));
    while (text.size() < 6) text.insert(text.begin(), u' ');
    return text;
}

// One line of the view: its number, the sign of its side, and its text with the marks.
tk::ViewLine viewLine(tk::LineStyle style, size_t number, const ShownLine& line) {
    tk::ViewLine view;
    view.style = style;
    view.parts.push_back({lineNumber(number) + (style == tk::LineStyle::before ? u" - " : u" + "), tk::PartStyle::faint});
    size_t at = 0;
    for (const auto& [start, length] : line.marks) {
        if (start > at) view.parts.push_back({line.text.substr(at, start - at), tk::PartStyle::plain});
        view.parts.push_back({line.text.substr(start, length), tk::PartStyle::marked});
        at = start + length;
    }
    if (at < line.text.size()) view.parts.push_back({line.text.substr(at), tk::PartStyle::plain});
    // The line end the run would write, by name.
    Text end;
    for (const char16_t unit : line.lineEnd) end += unit == u'\r' ? u"CR" : u"LF";
    if (!end.empty()) view.parts.push_back({u" " + end, tk::PartStyle::faint});
    return view;
}

}  // namespace

void forgetPreview() {
    lastPreview.reset();
    tk::clearGadgetColumn(app.g.fileList, previewCountColumn);
}

void previewFiles() {
    const Gadgets& g = app.g;
    lockWorkTab(true);
    // The button stays, to stop the preview.
    tk::disableGadget(g.previewButton, false);
    forgetPreview();
    tk::setGadgetText(g.txt3, u"0");
    PreparedRow row;
    if (!prepareRow(1, row)) {
        lockWorkTab(false);
        return;
    }
    RewriteOptions options{chosenCharset(), optionChecked("lin")};
    options.dryRun = true;
    const Text root = app.paths.root;
    const size_t total = app.filePaths.size();
    WorkTabRows rows(root, total, true);
    RunTotals totals;
    runOverFiles(root, app.filePaths, row, options, Text(), rows, totals);
    rows.endProgress();
    tk::setGadgetText(g.txt1, numberToText(static_cast<int64_t>(total)));
    lastPreview = LastPreview{row, options, root, total};
    lockWorkTab(false);
}

void showFileChanges(int item) {
    if (!lastPreview || lastPreview->root != app.paths.root || lastPreview->files != app.filePaths.size() || item < 0 ||
        static_cast<size_t>(item) >= app.filePaths.size())
        return;
    if (tk::getGadgetItemText(app.g.fileList, item, previewCountColumn).empty()) return;
    const LastPreview& preview = *lastPreview;
    const Text path = preview.root + app.filePaths[static_cast<size_t>(item)];
    const FileChanges changes = describeChanges(textToUtf8(path), preview.row, preview.options, viewLimit);
    std::vector<tk::ViewLine> lines;
    for (const ChangedStretch& stretch : changes.stretches) {
        if (!lines.empty()) lines.push_back({tk::LineStyle::heading, {{u"", tk::PartStyle::plain}}});
        for (size_t i = 0; i < stretch.before.size(); ++i)
            lines.push_back(viewLine(tk::LineStyle::before, stretch.firstLine + i, stretch.before[i]));
        for (size_t i = 0; i < stretch.after.size(); ++i)
            lines.push_back(viewLine(tk::LineStyle::after, stretch.newFirstLine + i, stretch.after[i]));
    }
    if (changes.replacements > changes.shownReplacements) {
        const int64_t more = static_cast<int64_t>(changes.replacements - changes.shownReplacements);
        lines.push_back({tk::LineStyle::heading, {{text("pre4") + u" " + numberToText(more), tk::PartStyle::plain}}});
    }
    tk::showTextView(text("pre3") + u" " + path, lines);
}
