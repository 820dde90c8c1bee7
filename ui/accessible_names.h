#pragma once
// The names a screen reader speaks for the gadgets: the text the user sees next to each,
// in the current language.

// Names every gadget whose own face shows no text (editors, combo boxes, the option boxes,
// the toggles and picture buttons, the file list, the folder tree). Called whenever the
// language is applied.
void nameGadgetsForAssistiveTechnology();
