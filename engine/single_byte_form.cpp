#include "engine/single_byte_form.h"

#include <iconv.h>

#include <array>
#include <cerrno>

namespace {

const iconv_t noConverter = reinterpret_cast<iconv_t>(-1);
constexpr int noCharacter = -1;

// What each byte decodes to on its own in a character set (noCharacter: nothing, or not
// one UTF-16 unit); none when the set has characters of several bytes.
using ByteTable = std::array<int, 256>;

bool tableOf(const std::string& codeset, ByteTable& table) {
    const iconv_t decoder = iconv_open("UTF-16LE", codeset.c_str());
    if (decoder == noConverter) return false;
    bool singleBytes = true;
    for (int byte = 0; byte < 256 && singleBytes; ++byte) {
        iconv(decoder, nullptr, nullptr, nullptr, nullptr);
        char in = static_cast<char>(byte);
        char* inPtr = &in;
        size_t inLeft = 1;
        unsigned char out[8];
        char* outPtr = reinterpret_cast<char*>(out);
        size_t outLeft = sizeof out;
        const size_t result = iconv(decoder, &inPtr, &inLeft, &outPtr, &outLeft);
        // A byte that begins a longer character: the set is not one of single bytes.
        if (result == static_cast<size_t>(-1) && errno == EINVAL) singleBytes = false;
        // A byte that only changes a state (a shift) decodes to nothing.
        if (result != static_cast<size_t>(-1) && sizeof out - outLeft == 0) singleBytes = false;
        table[static_cast<size_t>(byte)] =
            result != static_cast<size_t>(-1) && sizeof out - outLeft == 2 ? (out[0] | out[1] << 8) : noCharacter;
    }
    iconv_close(decoder);
    return singleBytes;
}

}  // namespace

std::string singleByteForm(const std::string& codeset, TextView text) {
    if (codeset.empty() || isUtf8Codeset(codeset.c_str()) || text.empty()) return std::string();
    // Made on each call (some 60 microseconds): a rewriter asks once for its search text.
    ByteTable table;
    if (!tableOf(codeset, table)) return std::string();
    std::string bytes;
    for (const char16_t unit : text) {
        int found = noCharacter;
        for (int byte = 0; byte < 256; ++byte) {
            if (table[static_cast<size_t>(byte)] != unit) continue;
            // Two bytes for one character: a line could hold it from either.
            if (found != noCharacter) return std::string();
            found = byte;
        }
        if (found == noCharacter) return std::string();
        bytes.push_back(static_cast<char>(found));
    }
    return bytes;
}
