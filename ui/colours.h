#pragma once
// The table of named colours. Values have red in the low byte, then green, then blue.

#include <cstdint>
#include <functional>
#include <string_view>

#include "ui/window_model.h"

// Fills the map with the 32 named colours, in table order.
void fillColourTable(ColourMap& colours);
// The colour of that name in the shared table; 0 (black) for an unknown name.
uint32_t colour(std::string_view name);

// Gives a pair of editors the look of their row's regular-expression check box.
void applyRegexLook(tk::Gadget checkBox, tk::Gadget firstEditor, tk::Gadget secondEditor);
// Copies the source editor's text into its twin on the other tab, with a short green flash.
void copyToTwin(tk::Gadget source, tk::Gadget target);

// Test hook: when set, copyToTwin calls it at the start of the flash's pause, while the
// source is green and painted, with the length of the pause in milliseconds.
using FlashPauseHook = std::function<void(tk::Gadget source, int milliseconds)>;
void setFlashPauseHook(FlashPauseHook hook);
