#include "foundation/UnicodeText.hpp"

#include <utf8proc.h>

#include <algorithm>

namespace mvk {

namespace {

bool isAscii(char byte) {
    return static_cast<unsigned char>(byte) < 0x80;
}

bool allAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), isAscii);
}

/// In ASCII the only code points of the categories Cc and Cf are the C0
/// controls and DEL.
bool isAsciiControl(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value < 0x20 || value == 0x7F;
}

/// Whether a character starts at `pos` of an all-ASCII text: among ASCII code
/// points the only pair that stays together is CR LF.
bool asciiCharacterStartsAt(std::string_view text, std::size_t pos) {
    return pos == 0 || text[pos] != '\n' || text[pos - 1] != '\r';
}

struct CodePoint {
    utf8proc_int32_t value;
    std::size_t length;
};

constexpr utf8proc_int32_t replacementCharacter = 0xFFFD;

CodePoint decodeAt(std::string_view text, std::size_t pos) {
    utf8proc_int32_t value = 0;
    const auto length =
        utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + pos),
                         static_cast<utf8proc_ssize_t>(text.size() - pos), &value);
    if (length <= 0) {
        return {replacementCharacter, 1};
    }
    return {value, static_cast<std::size_t>(length)};
}

/// Calls `visit(byteOffset)` at the start of each character; answers false
/// from `visit` to stop.
template <typename Visit>
void forEachCharacterStart(std::string_view text, Visit&& visit) {
    // Most texts are short ASCII; they need no decoding and no break table.
    if (allAscii(text)) {
        for (std::size_t pos = 0; pos < text.size(); ++pos) {
            if (asciiCharacterStartsAt(text, pos) && !visit(pos)) {
                return;
            }
        }
        return;
    }
    utf8proc_int32_t state = 0;
    utf8proc_int32_t previous = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto [value, length] = decodeAt(text, pos);
        if (pos == 0 || utf8proc_grapheme_break_stateful(previous, value, &state)) {
            if (!visit(pos)) {
                return;
            }
        }
        previous = value;
        pos += length;
    }
}

}  // namespace

std::string UnicodeText::removingControlCharacters(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        // An ASCII byte is a code point of its own even right after an
        // invalid byte, so it needs no decoding.
        if (isAscii(text[pos])) {
            if (!isAsciiControl(text[pos])) {
                result.push_back(text[pos]);
            }
            ++pos;
            continue;
        }
        const auto [value, length] = decodeAt(text, pos);
        const auto category = utf8proc_category(value);
        if (category != UTF8PROC_CATEGORY_CC && category != UTF8PROC_CATEGORY_CF) {
            result.append(text.substr(pos, length));
        }
        pos += length;
    }
    return result;
}

std::size_t UnicodeText::characterCount(std::string_view text) {
    std::size_t count = 0;
    forEachCharacterStart(text, [&](std::size_t) {
        ++count;
        return true;
    });
    return count;
}

std::size_t UnicodeText::characterCount(std::string_view text, std::size_t limit) {
    std::size_t count = 0;
    forEachCharacterStart(text, [&](std::size_t) {
        if (count == limit) {
            return false;
        }
        ++count;
        return true;
    });
    return count;
}

std::string UnicodeText::abbreviated(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return std::string(text);
    }
    std::size_t end = 0;
    forEachCharacterStart(text, [&](std::size_t offset) {
        if (offset > maxBytes) {
            return false;
        }
        end = offset;
        return true;
    });
    return std::string(text.substr(0, end)) + "... (" + std::to_string(text.size()) + " bytes)";
}

std::string_view UnicodeText::prefix(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    std::size_t end = text.size();
    forEachCharacterStart(text, [&](std::size_t offset) {
        if (seen == count) {
            end = offset;
            return false;
        }
        ++seen;
        return true;
    });
    return text.substr(0, end);
}

}  // namespace mvk
