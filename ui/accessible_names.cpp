#include "ui/accessible_names.h"

#include "ui/window_model.h"

void nameGadgetsForAssistiveTechnology() {
    WindowModel& model = windowModel();
    const Gadgets& g = model.g;
    // The option boxes, toggles and picture buttons say what they do in their tool tips,
    // which are there in the current language whether or not tips are shown.
    for (const auto& [key, tip] : model.toolTips) {
        const Gadget gadget = tip.gadget;
        bool faceless = gadget == g.addFilesButton || gadget == g.addFoldersButton || gadget == g.codePageCombo;
        for (const char* option : {"reg1", "cas1", "spa1", "reg2", "cas2", "spa2"})
            faceless = faceless || gadget == model.options[option].gadget;
        for (const auto& [name, extension] : model.extensions) faceless = faceless || gadget == extension.gadget;
        if (faceless) tk::setGadgetAccessibleName(gadget, tip.text);
    }
    // Editors and history lists are named by the caption of their box.
    const struct {
        Gadget gadget;
        const char* key;
    } captioned[] = {
        {g.searchEditor1, "txt5"}, {g.searchCombo1, "txt5"}, {g.replaceEditor1, "txt6"}, {g.replaceCombo1, "txt6"},
        {g.edi5, "txt5"},          {g.searchCombo2, "txt5"}, {g.edi6, "txt6"},           {g.replaceCombo2, "txt6"},
        {g.edi4, "txt7"},          {g.workCombo, "txt12"},   {g.languageCombo, "txt13"}, {g.fileList, "txt14"},
        {g.codePageCombo, "txt11"}, {g.backupTree, "tit5"},
    };
    for (const auto& entry : captioned) tk::setGadgetAccessibleName(entry.gadget, model.text(entry.key));
}
