// The table of named colours and the colour changes that mark editor states.

#include "ui/colours.h"

#include "ui/window_model.h"
#include "ui/sounds.h"

void fillColourTable(ColourMap& colours) {
    static const struct { const char* name; uint32_t red, green, blue; } table[] = {
        {"aqua", 0, 255, 255},     {"aquaM", 127, 255, 212},  {"beige", 245, 245, 220},
        {"black", 0, 0, 0},        {"blue", 0, 0, 255},       {"coral", 255, 127, 80},
        {"crim", 220, 20, 60},     {"Dpink", 255, 20, 147},   {"gold", 255, 215, 0},
        {"green", 0, 128, 0},      {"laven", 230, 230, 250},  {"lime", 0, 255, 0},
        {"Lpink", 255, 182, 193},  {"Lyellow", 255, 255, 224}, {"Lblue", 176, 196, 222},
        {"maro", 128, 0, 0},       {"Mgreen", 60, 179, 113},  {"mistR", 255, 228, 225},
        {"navy", 0, 0, 128},       {"oldL", 253, 245, 230},   {"peru", 205, 133, 63},
        {"pink", 255, 192, 203},   {"plum", 221, 160, 221},   {"red", 255, 0, 0},
        {"Sblue", 135, 206, 235},  {"Sgreen", 46, 139, 87},   {"silver", 192, 192, 192},
        {"teal", 0, 128, 128},     {"wheat", 245, 222, 179},  {"white", 255, 255, 255},
        {"whiteS", 245, 245, 245}, {"yellow", 255, 255, 0},
    };
    for (const auto& entry : table) {
        colours[entry.name] = entry.red + entry.green * 256 + entry.blue * 65536;
    }
}

uint32_t colour(std::string_view name) { return windowModel().colours.get(name); }

namespace {

constexpr int flashMilliseconds = 70;

FlashPauseHook flashPauseHook;

// The background an editor returns to: its row's regular-expression look, or its normal one.
uint32_t restingBackground(Gadget editor) {
    const Gadgets& g = windowModel().g;
    bool workTab = editor == g.searchEditor1 || editor == g.replaceEditor1;
    const char* option = workTab ? "reg1" : "reg2";
    if (windowModel().checked(option)) return colour("mistR");
    return workTab ? tk::systemWindowColour() : colour("Lyellow");
}

}  // namespace

void applyRegexLook(Gadget checkBox, Gadget firstEditor, Gadget secondEditor) {
    uint32_t background;
    uint32_t front;
    if (tk::getGadgetState(checkBox) == 1) {
        background = colour("mistR");
        front = colour("Dpink");
    } else {
        // The Work editors have the platform's colours, the Polygon's black on light yellow.
        const bool workTab = firstEditor == windowModel().g.searchEditor1;
        background = workTab ? tk::systemWindowColour() : colour("Lyellow");
        front = workTab ? tk::systemTextColour() : colour("black");
    }
    for (Gadget editor : {firstEditor, secondEditor}) {
        tk::setGadgetColour(editor, tk::backColour, background);
        tk::setGadgetColour(editor, tk::frontColour, front);
    }
}

void copyToTwin(Gadget source, Gadget target) {
    Text text = tk::getGadgetText(source);
    if (text.empty()) {
        playSound(windowModel().errorSound);
        return;
    }
    tk::setGadgetText(target, text);
    tk::setGadgetColour(source, tk::backColour, colour("Sgreen"));
    tk::discardPendingEvents();
    if (flashPauseHook) flashPauseHook(source, flashMilliseconds);
    tk::delay(flashMilliseconds);
    tk::setGadgetColour(source, tk::backColour, restingBackground(source));
    playSound(windowModel().copySound);
}

void setFlashPauseHook(FlashPauseHook hook) { flashPauseHook = std::move(hook); }
