// Not built yet.

#include "engine/replace.h"

int findMode(const RowOptions& options) { return options.matchCase ? 0 : 1; }
uint32_t compileFlags(const RowOptions&) { return 0; }
ReplaceResult replaceInText(Text&, const PreparedRow&) { return ReplaceResult::unchanged; }
