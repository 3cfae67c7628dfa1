#include "foundation/Utf8.hpp"

#include <utf8proc.h>

namespace mvk {

namespace {

/// Length of the valid sequence at the start of `text`, or a negative value.
utf8proc_ssize_t validPrefix(std::string_view text) {
    utf8proc_int32_t codepoint = 0;
    return utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data()),
                            static_cast<utf8proc_ssize_t>(text.size()), &codepoint);
}

}  // namespace

bool Utf8::isValid(std::string_view text) {
    while (!text.empty()) {
        if (static_cast<unsigned char>(text.front()) < 0x80) {
            text.remove_prefix(1);
            continue;
        }
        const auto length = validPrefix(text);
        if (length <= 0) {
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(length));
    }
    return true;
}

std::string Utf8::sanitized(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    while (!text.empty()) {
        const auto length = validPrefix(text);
        if (length <= 0) {
            result += "\xEF\xBF\xBD";
            text.remove_prefix(1);
        } else {
            result.append(text.substr(0, static_cast<std::size_t>(length)));
            text.remove_prefix(static_cast<std::size_t>(length));
        }
    }
    return result;
}

}  // namespace mvk
