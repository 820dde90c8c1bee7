#include "app/search.h"

#include "app/app_state.h"
#include "app/messages.h"
#include "engine/regex.h"
#include "app/languages.h"
#include "ui/toolkit/toolkit.h"

namespace {

struct RowGadgets {
    Gadget searchEditor;
    Gadget replaceEditor;
    const char* regex;
    const char* letterCase;
    const char* emptyLine;
};

RowGadgets rowGadgets(int row) {
    const Gadgets& g = app.g;
    if (row == 2) return {g.edi5, g.edi6, "reg2", "cas2", "spa2"};
    return {g.searchEditor1, g.replaceEditor1, "reg1", "cas1", "spa1"};
}

}  // namespace

RowOptions readRowOptions(int row) {
    const RowGadgets gadgets = rowGadgets(row);
    RowOptions options;
    options.useRegex = optionChecked(gadgets.regex);
    options.matchCase = optionChecked(gadgets.letterCase);
    options.emptyLineMode = optionChecked(gadgets.emptyLine);
    return options;
}

bool prepareRow(int row, PreparedRow& prepared) {
    const RowGadgets gadgets = rowGadgets(row);
    prepared.search = tk::getGadgetText(gadgets.searchEditor);
    prepared.replacement = tk::getGadgetText(gadgets.replaceEditor);
    prepared.options = readRowOptions(row);
    if (prepared.options.emptyLineMode) {
        if (!prepared.options.useRegex) {
            showError(5, Text());
            return false;
        }
        prepared.search += app.lineBreak;
    }
    if (prepared.search.empty()) {
        showError(1, Text());
        return false;
    }
    prepared.pattern.reset();
    prepared.utf8Pattern.reset();
    if (prepared.options.useRegex) {
        CompiledPattern compiled = compilePattern(prepared.search, compileFlags(prepared.options));
        if (compiled.pattern == nullptr) {
            showError(2, app.lineBreak + text("err3") + app.paragraphBreak + compiled.error);
            return false;
        }
        prepared.pattern = std::move(compiled.pattern);
        prepared.utf8Pattern = compileUtf8Pattern(prepared.search, compileFlags(prepared.options));
    }
    return true;
}

void runSample() {
    PreparedRow row;
    if (!prepareRow(2, row)) return;
    Text sample = tk::getGadgetText(app.g.edi4);
    if (replaceInText(sample, row) == ReplaceResult::changed) tk::setGadgetText(app.g.edi4, sample);
}
