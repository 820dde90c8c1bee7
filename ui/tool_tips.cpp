// The tool-tip registry and its attachment to the gadgets.

#include "ui/tool_tips.h"

#include "ui/window_model.h"

void buildToolTips() {
    WindowModel& model = windowModel();
    const Gadgets& g = model.g;
    auto option = [&](const char* key) { return model.options[key].gadget; };
    auto extension = [&](const char* key) { return model.extensions[key].gadget; };
    auto text = [&](const char* key) { return model.text(key); };
    const struct { const char* key; Gadget gadget; Text text; } table[] = {
        {"tit1", option("tip"), text("tit1")},
        {"tit2", option("esc"), text("tit2")},
        {"tit3", option("ton"), text("tit3")},
        {"tit4", option("hek"), text("tit4")},
        {"tit5", option("rez"), text("tit5")},
        {"tit6", option("reg1"), text("tit6")},
        {"tit7", option("cas1"), text("tit7")},
        {"tit8", option("spa1"), text("tit8")},
        {"tit9", option("reg2"), text("tit6")},
        {"tit10", option("cas2"), text("tit7")},
        {"tit11", option("spa2"), text("tit8")},
        {"tit12", g.addFilesButton, text("tit12")},
        {"tit13", g.addFoldersButton, text("tit13")},
        {"tit14", extension("txt"), text("tit14") + u"  TXT"},
        {"tit15", extension("hta"), text("tit14") + u"  HTA"},
        {"tit16", extension("htm"), text("tit14") + u"  HTM"},
        {"tit17", extension("htl"), text("tit14") + u"  HTML"},
        {"tit18", g.searchLabel1, text("tit19")},
        {"tit19", g.replaceLabel1, text("tit19")},
        {"tit20", g.searchLabel2, text("tit18")},
        {"tit21", g.replaceLabel2, text("tit18")},
        {"tit22", option("lin"), text("tit22")},
        {"tit23", g.codePageCombo, text("tit23")},
        {"tit24", g.codePageLabel, text("tit23")},
        {"tit25", g.undoButton, text("tit25")},
        {"tit26", g.previewButton, text("tit26")},
    };
    for (const auto& row : table) {
        ToolTipEntry& entry = model.toolTips[row.key];
        entry.gadget = row.gadget;
        entry.text = row.text;
    }
}

void applyToolTips() {
    WindowModel& model = windowModel();
    bool on = model.checked("tip");
    for (auto& [key, entry] : model.toolTips) {
        tk::gadgetToolTip(entry.gadget, on ? u" " + entry.text + u" " : Text());
    }
}
