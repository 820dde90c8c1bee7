// The main window: three tabs with every gadget, the hidden service gadgets, the popup
// menu, their initial states, and the layout that follows every size change.

#include "ui/main_window.h"

#include "ui/colours.h"
#include "ui/window_model.h"

namespace {

constexpr int rowHeight = 30;
constexpr int captionHeight = 27;
constexpr int gap = 5;
constexpr int iconSize = 48;
constexpr int comboWidth = 4 * iconSize + 3 * gap;  // 207
constexpr int toolBarHeight = iconSize + 2 * rowHeight + 2 * gap;  // 118
// The undo button at the end of the run button's row: room for its caption in every language.
constexpr int undoWidth = 160;
// The file list's column of the preview's counts.
constexpr int countColumnWidth = 112;

// The switches of the Setting tab, top to bottom.
constexpr const char* settingSwitches[] = {"ton", "tip", "esc", "hek", "rez", "lin"};

WindowModel& model() { return windowModel(); }

int bottom(Gadget gadget) { return tk::gadgetY(gadget) + tk::gadgetHeight(gadget); }
int right(Gadget gadget) { return tk::gadgetX(gadget) + tk::gadgetWidth(gadget); }

// Captions come from the built-in texts while the window is built; the language step at
// the end sets the chosen language's texts.
const Text& builtIn(const char* key) { return model().defaultTexts.get(key); }

void useFont(int font) { tk::setDefaultGadgetFont(model().fonts[font]); }

// Three 15 × 15 check boxes drawn inside a run button's face, 25, 45 and 65 pixels from
// its right edge.
constexpr int hostedBoxFromRight[3] = {25, 45, 65};

void hostRowOptions(Gadget runButton, const char* regex, const char* letterCase, const char* emptyLine) {
    const int w = tk::gadgetWidth(runButton);
    const char* const keys[3] = {regex, letterCase, emptyLine};
    for (int i = 0; i < 3; ++i) {
        Gadget check = tk::checkBoxGadget(w - hostedBoxFromRight[i], 8, 15, 15, Text());
        tk::hostGadget(check, runButton);
        model().options[keys[i]].gadget = check;
    }
}

void placeRowOptions(Gadget runButton, const char* regex, const char* letterCase, const char* emptyLine) {
    const int w = tk::gadgetWidth(runButton);
    const char* const keys[3] = {regex, letterCase, emptyLine};
    for (int i = 0; i < 3; ++i) {
        tk::resizeGadget(model().options[keys[i]].gadget, w - hostedBoxFromRight[i], tk::ignoreValue, tk::ignoreValue,
                         tk::ignoreValue);
    }
}

struct EditorRow {
    Gadget* label;
    Gadget* save;
    Gadget* remove;
    Gadget* combo;
    Gadget* editor;
};

// The caption, Save, Delete, history combo and editor of one search or replacement box.
void buildEditorRow(const EditorRow& row, const char* captionKey, int pw, int boxHeight,
                    int captionFont, int editorFont) {
    useFont(captionFont);
    *row.label = tk::textGadget(0, 0, pw, captionHeight, builtIn(captionKey),
                                tk::textCentre | tk::textVCentre | tk::textClicks);
    *row.save = tk::buttonGadget(5, captionHeight, 200, captionHeight, builtIn("but9"));
    *row.remove = tk::buttonGadget(210, captionHeight, 200, captionHeight, builtIn("but0"));
    *row.combo = tk::comboBoxGadget(415, captionHeight, pw - 420, captionHeight);
    useFont(editorFont);
    *row.editor = tk::editorGadget(0, 57, pw, boxHeight - 59);
}

void layoutEditorRow(const EditorRow& row, int pw, int boxHeight) {
    tk::resizeGadget(*row.label, tk::ignoreValue, tk::ignoreValue, pw, tk::ignoreValue);
    tk::resizeGadget(*row.combo, tk::ignoreValue, tk::ignoreValue, pw - 420, tk::ignoreValue);
    tk::resizeGadget(*row.editor, tk::ignoreValue, tk::ignoreValue, pw, boxHeight - 59);
}

EditorRow searchRow1() {
    Gadgets& g = model().g;
    return {&g.searchLabel1, &g.searchSave1, &g.searchDelete1, &g.searchCombo1, &g.searchEditor1};
}
EditorRow replaceRow1() {
    Gadgets& g = model().g;
    return {&g.replaceLabel1, &g.replaceSave1, &g.replaceDelete1, &g.replaceCombo1, &g.replaceEditor1};
}
EditorRow searchRow2() {
    Gadgets& g = model().g;
    return {&g.searchLabel2, &g.searchSave2, &g.searchDelete2, &g.searchCombo2, &g.edi5};
}
EditorRow replaceRow2() {
    Gadgets& g = model().g;
    return {&g.replaceLabel2, &g.replaceSave2, &g.replaceDelete2, &g.replaceCombo2, &g.edi6};
}

// The width a vertical scroll bar takes from a list: a small scroll area is asked how far
// it can scroll sideways once its own scroll bars are in.
int measureScrollBarAllowance() {
    Gadget probe = tk::scrollAreaGadget(0, 0, 250, 250, 250, 250, 1, 1);
    tk::setGadgetAttribute(probe, tk::scrollAreaX, 250);
    int allowance = tk::getGadgetAttribute(probe, tk::scrollAreaX);
    tk::closeGadgetList();
    tk::freeGadget(probe);
    return allowance > 0 ? allowance : tk::scrollBarWidth();
}

void buildWorkPage(int pw, int ph) {
    Gadgets& g = model().g;
    g.workPage = tk::containerGadget(0, 0, pw, ph);
    useFont(4);
    model().scrollBarAllowance = measureScrollBarAllowance();
    g.fileList = tk::listGadget(0, 0, pw, ph / 4, u"Y/N", 50, tk::listCheckBoxes | 0x10000);
    tk::addGadgetColumn(g.fileList, 1, u"Path", pw - model().scrollBarAllowance - 55 - countColumnWidth);
    tk::addGadgetColumn(g.fileList, 2, builtIn("pre2"), countColumnWidth);

    g.toolBar = tk::containerGadget(0, bottom(g.fileList) + gap, pw, toolBarHeight);
    int bw = (pw - comboWidth - 21) / 2;
    useFont(2);
    g.workCombo = tk::comboBoxGadget(5, 0, comboWidth, rowHeight, tk::comboEditable);
    useFont(1);
    g.workSave = tk::buttonGadget(217, 0, bw, rowHeight, builtIn("but9"));
    g.workDelete = tk::buttonGadget(right(g.workSave) + gap, 0, bw, rowHeight, builtIn("but0"));
    g.addFilesButton = tk::imageButtonGadget(5, 35, iconSize, iconSize, tk::catchImage(":/icons/add_files.svg", 32));
    g.addFoldersButton =
        tk::imageButtonGadget(58, 35, iconSize, iconSize, tk::catchImage(":/icons/add_folders.svg", 32));
    const struct { const char* key; const char* picture; int x; } toggles[] = {
        {"txt", ":/icons/ext_txt.svg", 111},
        {"hta", ":/icons/ext_hta.svg", 164},
        {"htm", ":/icons/ext_htm.svg", 217},
        {"htl", ":/icons/ext_html.svg", 270},
    };
    for (const auto& toggle : toggles) {
        model().extensions[toggle.key].gadget = tk::imageButtonGadget(
            toggle.x, 35, iconSize, iconSize, tk::catchImage(toggle.picture, 32), tk::toggleFlag);
    }
    useFont(3);
    g.txt1 = tk::textGadget(323, 35, 115, iconSize, u"0", tk::textRight | tk::textVCentre);
    g.txt2 = tk::textGadget(438, 35, 25, iconSize, u"/", tk::textCentre | tk::textVCentre);
    g.txt3 = tk::textGadget(463, 35, 115, iconSize, u"0", tk::textVCentre);
    for (int i = 1; i <= 3; ++i) {
        tk::setGadgetColour(tk::gadgetByName("txt" + std::to_string(i)), tk::frontColour, colour("blue"));
    }
    // In the room right of the counters, as wide as the window leaves it; below it, at the
    // end of the run button's row, the undo of the last run.
    useFont(1);
    g.previewButton =
        tk::buttonGadget(right(g.txt3) + gap, 35, pw - right(g.txt3) - gap - 5, iconSize, builtIn("pre1"));
    useFont(5);
    g.undoButton = tk::buttonGadget(pw - 5 - undoWidth, 88, undoWidth, rowHeight, builtIn("und1"));
    useFont(1);
    g.runButton1 = tk::buttonGadget(5, 88, pw - 10 - undoWidth - gap, rowHeight, builtIn("but7"));
    hostRowOptions(g.runButton1, "reg1", "cas1", "spa1");
    tk::closeGadgetList();

    int y = bottom(g.toolBar) + gap;
    int bh = (ph - y - 5) / 2;
    g.searchBox1 = tk::containerGadget(0, y, pw, bh, tk::containerBorder);
    buildEditorRow(searchRow1(), "txt5", pw, bh, 1, 2);
    tk::closeGadgetList();
    g.replaceBox1 = tk::containerGadget(0, bottom(g.searchBox1) + gap, pw, bh, tk::containerBorder);
    buildEditorRow(replaceRow1(), "txt6", pw, bh, 1, 2);
    tk::closeGadgetList();

    g.progressBar = tk::progressBarGadget(pw / 2 - 250, ph / 2 - 16, 500, 32);
    tk::hideGadget(g.progressBar, true);
    g.resultBox = tk::containerGadget(pw / 2 - 250, ph / 2 - 50, 500, 100, tk::containerBorder);
    tk::hideGadget(g.resultBox, true);
    useFont(2);
    g.resultText = tk::textGadget(7, 7, 500 - model().doubleMargin, 100 - model().doubleMargin, Text(),
                                  tk::textCentre | tk::textVCentre);
    tk::closeGadgetList();
    tk::closeGadgetList();
}

void buildPolygonPage(int pw, int ph) {
    Gadgets& g = model().g;
    g.polygonPage = tk::containerGadget(0, 0, pw, ph);
    useFont(1);
    g.runButton2 = tk::buttonGadget(5, 5, pw - 10, rowHeight, builtIn("but7"));
    hostRowOptions(g.runButton2, "reg2", "cas2", "spa2");
    int ch = (ph - rowHeight - 4 * gap) / 3;
    g.sampleBox = tk::containerGadget(0, bottom(g.runButton2) + gap, pw, ch, tk::containerBorder);
    g.sampleLabel = tk::textGadget(0, 0, pw, captionHeight, builtIn("txt7"), tk::textCentre | tk::textVCentre);
    useFont(2);
    g.edi4 = tk::editorGadget(0, captionHeight, pw, ch - 29);
    tk::closeGadgetList();
    g.searchBox2 = tk::containerGadget(0, bottom(g.sampleBox) + gap, pw, ch, tk::containerBorder);
    buildEditorRow(searchRow2(), "txt5", pw, ch, 2, 2);
    tk::closeGadgetList();
    g.replaceBox2 = tk::containerGadget(0, bottom(g.searchBox2) + gap, pw, ch, tk::containerBorder);
    buildEditorRow(replaceRow2(), "txt6", pw, ch, 2, 2);
    tk::closeGadgetList();
    for (int i = 4; i <= 6; ++i) {
        tk::setGadgetColour(tk::gadgetByName("edi" + std::to_string(i)), tk::backColour, colour("Lyellow"));
    }
    tk::closeGadgetList();
}

void buildSettingPage(int pw, int ph) {
    Gadgets& g = model().g;
    g.settingPage = tk::containerGadget(0, 0, pw, ph);
    useFont(2);
    g.languageCombo = tk::comboBoxGadget(7, 7, pw - 14, rowHeight);
    tk::addGadgetItem(g.languageCombo, -1, u"Embedded");
    tk::setGadgetState(g.languageCombo, 0);
    int y = bottom(g.languageCombo) + model().margin;
    for (const char* key : settingSwitches) {
        model().options[key].gadget = tk::checkBoxGadget(7, y, pw - 14, rowHeight, builtIn(key));
        y += rowHeight;
    }
    g.codePageLabel = tk::textGadget(7, y, pw - 14, captionHeight - gap, builtIn("txt11"), tk::textVCentre);
    g.codePageCombo = tk::comboBoxGadget(7, bottom(g.codePageLabel), pw - 14, rowHeight);
    y = bottom(g.codePageCombo) + gap;
    useFont(5);
    g.backupPathText = tk::textGadget(7, y, pw - 14, captionHeight - gap, model().paths.backup, tk::textVCentre);
    tk::setGadgetColour(g.backupPathText, tk::frontColour, colour("blue"));
    useFont(6);
    int treeY = bottom(g.backupPathText);
    g.backupTree = tk::folderTreeGadget(7, treeY, pw - 14, ph - treeY - model().margin, model().paths.backup,
                                        tk::treeFoldersOnly | 0x10 | tk::treeSorted |
                                            tk::treeAlwaysShowSelection);
    tk::closeGadgetList();
}

void buildPopupMenu() {
    tk::createPopupMenu();
    const struct { int item; const char* key; const char* icon; } items[] = {
        {1, "pop1", ":/icons/menu_clear_insert.svg"}, {2, "pop2", ":/icons/menu_paste.svg"},
        {3, "pop3", ":/icons/menu_select_all.svg"},   {4, "pop4", ":/icons/menu_copy.svg"},
        {5, "pop5", ":/icons/menu_copy_all.svg"},     {6, "pop6", ":/icons/menu_keep.svg"},
        {7, "pop7", ":/icons/menu_insert_buffer.svg"},
    };
    for (const auto& item : items) {
        if (item.item == 6) tk::addMenuSeparator();
        tk::addMenuItem(item.item, builtIn(item.key), tk::catchImage(item.icon, 16));
    }
}

void giveInitialStates() {
    Gadgets& g = model().g;
    for (auto& [key, option] : model().options) tk::setGadgetState(option.gadget, option.state);
    for (auto& [key, extension] : model().extensions) {
        if (extension.state == 1) {
            tk::setGadgetState(extension.gadget, 1);
            tk::setGadgetAttribute(extension.gadget, tk::pressedImage, tk::catchImage(extension.picture, 32));
        }
    }
    tk::setGadgetState(g.mainPanel, model().activePanel);
    if (model().checked("reg1")) {
        applyRegexLook(model().options["reg1"].gadget, g.searchEditor1, g.replaceEditor1);
    }
    if (model().checked("reg2")) {
        applyRegexLook(model().options["reg2"].gadget, g.edi5, g.edi6);
    }
    if (!model().checked("rez")) {
        tk::disableGadget(g.backupTree, true);
        tk::disableGadget(g.backupPathText, true);
    }
}

}  // namespace

void buildMainWindow() {
    Gadgets& g = model().g;
    g.focusSink = tk::buttonGadget(0, 0, 0, 0, Text());
    g.scratchEditor = tk::editorGadget(0, 0, 0, 0);
    for (Gadget& buffer : g.editorBuffer) buffer = tk::editorGadget(0, 0, 0, 0);
    for (Gadget service : {g.focusSink, g.scratchEditor}) tk::makeServiceGadget(service);
    for (Gadget buffer : g.editorBuffer) tk::makeServiceGadget(buffer);

    useFont(1);
    g.mainPanel = tk::panelGadget(model().margin, model().margin, model().clientWidth - model().doubleMargin,
                                  model().clientHeight - model().doubleMargin);
    tk::addGadgetItem(g.mainPanel, -1, builtIn("tabW") + u" ", tk::catchImage(":/icons/tab_work.svg", 24));
    int pw = tk::getGadgetAttribute(g.mainPanel, tk::panelItemWidth);
    int ph = tk::getGadgetAttribute(g.mainPanel, tk::panelItemHeight);
    buildWorkPage(pw, ph);
    tk::addGadgetItem(g.mainPanel, -1, builtIn("tabP") + u" ", tk::catchImage(":/icons/tab_polygon.svg", 16));
    buildPolygonPage(pw, ph);
    tk::addGadgetItem(g.mainPanel, -1, builtIn("tabS") + u" ", tk::catchImage(":/icons/tab_setting.svg", 35));
    buildSettingPage(pw, ph);
    tk::closeGadgetList();

    buildPopupMenu();
    giveInitialStates();
}

int64_t layoutCallback(int message, int64_t /*wParam*/, int64_t /*lParam*/) {
    Gadgets& g = model().g;
    if (message != tk::sizeMessage || !tk::isGadget(g.mainPanel)) return tk::processDefault;

    tk::resizeGadget(g.mainPanel, tk::ignoreValue, tk::ignoreValue, tk::windowWidth() - model().doubleMargin,
                     tk::windowHeight() - model().doubleMargin);
    int pw = tk::getGadgetAttribute(g.mainPanel, tk::panelItemWidth);
    int ph = tk::getGadgetAttribute(g.mainPanel, tk::panelItemHeight);
    for (Gadget page : {g.workPage, g.polygonPage, g.settingPage}) {
        tk::resizeGadget(page, tk::ignoreValue, tk::ignoreValue, pw, ph);
    }

    // Work tab.
    tk::resizeGadget(g.fileList, tk::ignoreValue, tk::ignoreValue, pw, ph / 4);
    tk::setGadgetItemAttribute(g.fileList, 0, tk::columnWidth, pw - model().scrollBarAllowance - 55 - countColumnWidth, 1);
    tk::resizeGadget(g.toolBar, tk::ignoreValue, bottom(g.fileList) + gap, pw, toolBarHeight);
    int bw = (pw - comboWidth - 21) / 2;
    tk::resizeGadget(g.workSave, tk::ignoreValue, tk::ignoreValue, bw, tk::ignoreValue);
    tk::resizeGadget(g.workDelete, right(g.workSave) + gap, tk::ignoreValue, bw, tk::ignoreValue);
    tk::resizeGadget(g.previewButton, tk::ignoreValue, tk::ignoreValue, pw - right(g.txt3) - gap - 5, tk::ignoreValue);
    tk::resizeGadget(g.undoButton, pw - 5 - undoWidth, tk::ignoreValue, tk::ignoreValue, tk::ignoreValue);
    tk::resizeGadget(g.runButton1, tk::ignoreValue, tk::ignoreValue, pw - 10 - undoWidth - gap, tk::ignoreValue);
    placeRowOptions(g.runButton1, "reg1", "cas1", "spa1");
    int bh = (ph - (bottom(g.toolBar) + gap) - 5) / 2;
    tk::resizeGadget(g.searchBox1, tk::ignoreValue, bottom(g.toolBar) + gap, pw, bh);
    tk::resizeGadget(g.replaceBox1, tk::ignoreValue, bottom(g.searchBox1) + gap, pw, bh);
    layoutEditorRow(searchRow1(), pw, bh);
    layoutEditorRow(replaceRow1(), pw, bh);

    // Polygon tab.
    tk::resizeGadget(g.runButton2, tk::ignoreValue, tk::ignoreValue, pw - 10, tk::ignoreValue);
    placeRowOptions(g.runButton2, "reg2", "cas2", "spa2");
    int ch = (ph - 50) / 3;
    int y = bottom(g.runButton2) + gap;
    for (Gadget box : {g.sampleBox, g.searchBox2, g.replaceBox2}) {
        tk::resizeGadget(box, tk::ignoreValue, y, pw, ch);
        y += ch + gap;
    }
    tk::resizeGadget(g.sampleLabel, tk::ignoreValue, tk::ignoreValue, pw, tk::ignoreValue);
    tk::resizeGadget(g.edi4, tk::ignoreValue, tk::ignoreValue, pw, ch - 29);
    layoutEditorRow(searchRow2(), pw, ch);
    layoutEditorRow(replaceRow2(), pw, ch);

    // Setting tab.
    tk::resizeGadget(g.languageCombo, tk::ignoreValue, tk::ignoreValue, pw - 14, tk::ignoreValue);
    for (const char* key : settingSwitches) {
        tk::resizeGadget(model().options[key].gadget, tk::ignoreValue, tk::ignoreValue, pw - 14, tk::ignoreValue);
    }
    tk::resizeGadget(g.codePageLabel, tk::ignoreValue, tk::ignoreValue, pw - 14, tk::ignoreValue);
    tk::resizeGadget(g.codePageCombo, tk::ignoreValue, tk::ignoreValue, pw - 14, tk::ignoreValue);
    tk::resizeGadget(g.backupPathText, tk::ignoreValue, tk::ignoreValue, pw - 14, tk::ignoreValue);
    tk::resizeGadget(g.backupTree, tk::ignoreValue, tk::ignoreValue, pw - 14, ph - bottom(g.backupPathText) - 7);
    return tk::processDefault;
}
