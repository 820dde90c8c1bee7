#pragma once
// Colour in what rif writes to a terminal: whether it is wanted on each stream, and the
// few colours used.

#include <string>
#include <string_view>

// Whether standard output and standard error are coloured.
struct Colours {
    bool out = false;
    bool err = false;
};

// The colours for --color=when ("auto", "always" or "never"): "auto" colours a stream that
// is a terminal, unless NO_COLOR is set to anything but the empty string.
Colours coloursFor(const std::string& when);

// The colours rif uses, as grep, ripgrep and git use them: paths magenta, removed lines
// red, added lines green, hunk headers cyan, the word "error" red.
namespace colour {
inline constexpr std::string_view path = "\033[35m";
inline constexpr std::string_view removed = "\033[31m";
inline constexpr std::string_view added = "\033[32m";
inline constexpr std::string_view hunk = "\033[36m";
inline constexpr std::string_view error = "\033[1;31m";
inline constexpr std::string_view reset = "\033[0m";
}  // namespace colour

// text in the colour when on is true, else text as it is.
std::string painted(std::string_view text, std::string_view colour, bool on);
