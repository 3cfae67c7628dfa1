#include "foundation/Base64.hpp"

#include <cstdint>

namespace mvk {

std::string base64Encode(std::string_view bytes) {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t index = 0;
    for (; index + 3 <= bytes.size(); index += 3) {
        const std::uint32_t group = (std::uint32_t(std::uint8_t(bytes[index])) << 16) |
                                    (std::uint32_t(std::uint8_t(bytes[index + 1])) << 8) |
                                    std::uint32_t(std::uint8_t(bytes[index + 2]));
        text += alphabet[(group >> 18) & 0x3F];
        text += alphabet[(group >> 12) & 0x3F];
        text += alphabet[(group >> 6) & 0x3F];
        text += alphabet[group & 0x3F];
    }
    const std::size_t rest = bytes.size() - index;
    if (rest > 0) {
        std::uint32_t group = std::uint32_t(std::uint8_t(bytes[index])) << 16;
        if (rest == 2) {
            group |= std::uint32_t(std::uint8_t(bytes[index + 1])) << 8;
        }
        text += alphabet[(group >> 18) & 0x3F];
        text += alphabet[(group >> 12) & 0x3F];
        text += rest == 2 ? alphabet[(group >> 6) & 0x3F] : '=';
        text += '=';
    }
    return text;
}

}  // namespace mvk
