#include "cli/rif_arguments.h"

#include <iconv.h>

#include <cerrno>

#include "engine/text.h"

namespace {

// The bytes in charset as UTF-8; false when they are not valid there. A character set
// that iconv does not know leaves the bytes as they are, as files in it are read.
bool toUtf8(const std::string& bytes, const std::string& charset, std::string& utf8) {
    const iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        utf8 = bytes;
        return true;
    }
    std::string in = bytes;
    std::string out(bytes.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    bool valid = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                 iconv(converter, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!valid) return false;
    out.resize(out.size() - outLeft);
    utf8 = std::move(out);
    return true;
}

}  // namespace

std::string decodeArguments(Settings& settings) {
    const std::string charset = localeCharset();
    if (isUtf8Codeset(charset.c_str())) return std::string();
    const struct {
        std::string* value;
        const char* name;
    } arguments[] = {{&settings.search, "SEARCH"}, {&settings.replacement, "REPLACEMENT"}, {&settings.name, "--name"}};
    for (const auto& argument : arguments) {
        if (!toUtf8(*argument.value, charset, *argument.value))
            return std::string(argument.name) + " is not valid in your locale's character set (" + charset + ")";
    }
    return std::string();
}
