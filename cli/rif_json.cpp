#include "cli/rif_json.h"

std::string jsonLine(std::string_view type, const JsonObject& data) {
    const JsonObject line = {{"type", type}, {"data", data}};
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

JsonObject jsonPath(const std::string& path) {
    try {
        // The strict dump refuses a string that is not valid UTF-8.
        const JsonObject name = path;
        (void)name.dump();
        return name;
    } catch (const JsonObject::type_error&) {
        return {{"bytes", base64(path)}};
    }
}

std::string base64(std::string_view bytes) {
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        for (const int shift : {18, 12, 6, 0}) out += alphabet[(group >> shift) & 63];
    }
    if (i < bytes.size()) {
        const bool two = i + 1 < bytes.size();
        const unsigned group = static_cast<unsigned char>(bytes[i]) << 16 |
                               (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0u);
        out += alphabet[(group >> 18) & 63];
        out += alphabet[(group >> 12) & 63];
        out += two ? alphabet[(group >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}
