#include "cli/rif_colour.h"

#include <unistd.h>

#include <cstdlib>

Colours coloursFor(const std::string& when) {
    if (when == "always") return {true, true};
    if (when == "never") return {false, false};
    const char* const noColour = std::getenv("NO_COLOR");
    if (noColour != nullptr && *noColour != 0) return {false, false};
    return {isatty(STDOUT_FILENO) == 1, isatty(STDERR_FILENO) == 1};
}

std::string painted(std::string_view text, std::string_view colour, bool on) {
    if (!on) return std::string(text);
    std::string out;
    out.reserve(colour.size() + text.size() + colour::reset.size());
    out.append(colour).append(text).append(colour::reset);
    return out;
}
