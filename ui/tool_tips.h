#pragma once
// The tool tips of twenty-one gadgets, in the current language, switched by "Helps".

// Fills or refreshes the tool-tip registry from the current texts.
void buildToolTips();
// Attaches every tip while "Helps" is checked, removes them all otherwise.
void applyToolTips();
