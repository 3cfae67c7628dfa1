#include "foundation/VersionCompare.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include <utf8proc.h>

namespace mvk {

namespace {

constexpr std::int32_t malformedByte = -1;
constexpr std::int32_t replacementCodePoint = 0xFFFD;

struct Decoded {
    std::int32_t codePoint;
    std::size_t length;
};

// A byte that does not start a valid sequence is consumed on its own, so decoding always advances.
Decoded decodeVersionCharAt(std::string_view text, std::size_t pos) {
    utf8proc_int32_t codePoint = 0;
    const auto length =
        utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + pos),
                         static_cast<utf8proc_ssize_t>(text.size() - pos), &codePoint);
    if (length <= 0) {
        return {malformedByte, 1};
    }
    return {codePoint, static_cast<std::size_t>(length)};
}

struct Character {
    std::string_view bytes;
    std::int32_t firstCodePoint;
};

std::vector<Character> splitCharacters(std::string_view text) {
    std::vector<Character> characters;
    utf8proc_int32_t state = 0;
    std::int32_t previous = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const auto [codePoint, length] = decodeVersionCharAt(text, pos);
        // A malformed byte takes part in segmentation the way its replacement character would.
        const auto breakCodePoint = codePoint == malformedByte ? replacementCodePoint : codePoint;
        if (characters.empty() ||
            utf8proc_grapheme_break_stateful(previous, breakCodePoint, &state)) {
            characters.push_back({text.substr(pos, length), codePoint});
        } else {
            auto& bytes = characters.back().bytes;
            bytes = std::string_view(bytes.data(), bytes.size() + length);
        }
        previous = breakCodePoint;
        pos += length;
    }
    return characters;
}

bool isNumeric(const Character& character) {
    if (character.firstCodePoint == malformedByte) {
        return false;
    }
    switch (utf8proc_category(character.firstCodePoint)) {
        case UTF8PROC_CATEGORY_ND:
        case UTF8PROC_CATEGORY_NL:
        case UTF8PROC_CATEGORY_NO:
            return true;
        default:
            return false;
    }
}

std::string lowercased(std::string_view character) {
    std::string result;
    for (std::size_t pos = 0; pos < character.size();) {
        const auto [codePoint, length] = decodeVersionCharAt(character, pos);
        if (codePoint == malformedByte) {
            result.append(character.substr(pos, length));
        } else {
            utf8proc_uint8_t buffer[4];
            const auto written = utf8proc_encode_char(utf8proc_tolower(codePoint), buffer);
            result.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(written));
        }
        pos += length;
    }
    return result;
}

std::vector<std::string_view> splitComponents(std::string_view text) {
    std::vector<std::string_view> components;
    for (;;) {
        const auto dot = text.find('.');
        components.push_back(text.substr(0, dot));
        if (dot == std::string_view::npos) {
            return components;
        }
        text.remove_prefix(dot + 1);
    }
}

// Only plain ASCII digits within the signed 64-bit range make a number; other numeric characters
// (other scripts' digits, fractions, numerals) leave the component incomparable by value.
std::optional<std::int64_t> parseInteger(std::string_view digits) {
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint8_t> asciiCode(std::string_view character) {
    if (character.size() != 1 || static_cast<unsigned char>(character[0]) >= 0x80) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(character[0]);
}

/// Inside this file an order is +1 when the first is the higher, -1 when the second is, 0 when
/// they are equal, absent when they cannot be compared.
using Order = std::optional<int>;

template <typename T>
int sign(T first, T second) {
    return first == second ? 0 : (first > second ? 1 : -1);
}

/// A run of numeric characters, or of the others, inside one component.
struct Part {
    bool numeric;
    std::string_view text;
    std::vector<std::string_view> characters;
};

std::vector<Part> splitParts(std::string_view component) {
    std::vector<Part> parts;
    for (const auto& character : splitCharacters(component)) {
        const bool numeric = isNumeric(character);
        if (parts.empty() || parts.back().numeric != numeric) {
            parts.push_back({numeric, character.bytes, {}});
        } else {
            auto& text = parts.back().text;
            text = std::string_view(text.data(), text.size() + character.bytes.size());
        }
        parts.back().characters.push_back(character.bytes);
    }
    return parts;
}

Order compareNumbers(std::string_view first, std::string_view second) {
    if (first == second) {
        return 0;
    }
    const auto firstValue = parseInteger(first);
    const auto secondValue = parseInteger(second);
    if (!firstValue || !secondValue) {
        return std::nullopt;
    }
    return sign(*firstValue, *secondValue);
}

Order compareLetters(const Part& first, const Part& second) {
    if (first.text == second.text) {
        return 0;
    }
    const auto length = std::max(first.characters.size(), second.characters.size());
    for (std::size_t i = 0; i < length; ++i) {
        // Padding with "0" keeps a shorter run above one that goes on with a character below
        // "0" ("a" above "a-"), as versions have always been read here.
        const auto firstCharacter =
            lowercased(i < first.characters.size() ? first.characters[i] : "0");
        const auto secondCharacter =
            lowercased(i < second.characters.size() ? second.characters[i] : "0");
        if (firstCharacter != secondCharacter) {
            const auto firstCode = asciiCode(firstCharacter);
            const auto secondCode = asciiCode(secondCharacter);
            if (!firstCode || !secondCode) {
                return std::nullopt;
            }
            return sign(*firstCode, *secondCode);
        }
    }
    return 0;
}

/// A part against the end of the other component: a number against 0, while letters rank below
/// the end ("2b" below "2").
Order compareWithEnd(const Part& part) {
    return part.numeric ? compareNumbers(part.text, "0") : Order(-1);
}

Order compareParts(const std::vector<Part>& first, const std::vector<Part>& second) {
    const auto count = std::max(first.size(), second.size());
    for (std::size_t i = 0; i < count; ++i) {
        Order order;
        if (i >= first.size()) {
            order = compareWithEnd(second[i]);
            if (order) {
                order = -*order;
            }
        } else if (i >= second.size()) {
            order = compareWithEnd(first[i]);
        } else if (first[i].numeric != second[i].numeric) {
            // Only the first parts can differ in kind: equal parts before keep the kinds in step.
            order = first[i].numeric ? 1 : -1;
        } else if (first[i].numeric) {
            order = compareNumbers(first[i].text, second[i].text);
        } else {
            order = compareLetters(first[i], second[i]);
        }
        if (!order || *order != 0) {
            return order;
        }
    }
    return 0;
}

/// Letters before the component's first number, such as the "v" of "v2".
std::optional<Part> takePrefix(std::vector<Part>& parts) {
    if (parts.empty() || parts.front().numeric) {
        return std::nullopt;
    }
    auto prefix = std::move(parts.front());
    parts.erase(parts.begin());
    return prefix;
}

Order compareComponents(std::string_view first, std::string_view second) {
    if (first == second) {
        return 0;
    }
    auto firstParts = splitParts(first);
    auto secondParts = splitParts(second);
    // A prefix names a build ("v2", "r10") rather than ranking it: it decides only between
    // otherwise equal components, and none ranks above any, so "v2" sits between "1.9" and "2".
    const auto firstPrefix = takePrefix(firstParts);
    const auto secondPrefix = takePrefix(secondParts);
    if (firstParts.empty() || secondParts.empty()) {
        return std::nullopt;
    }
    const auto order = compareParts(firstParts, secondParts);
    if (!order || *order != 0 || (!firstPrefix && !secondPrefix)) {
        return order;
    }
    if (!firstPrefix || !secondPrefix) {
        return firstPrefix ? -1 : 1;
    }
    return compareLetters(*firstPrefix, *secondPrefix);
}

}  // namespace

std::optional<int> VersionCompare::compareVersions(std::string_view first,
                                                   std::string_view second) {
    if (first == second) {
        return 0;
    }
    auto firstComponents = splitComponents(first);
    auto secondComponents = splitComponents(second);
    const auto count = std::max(firstComponents.size(), secondComponents.size());
    firstComponents.resize(count, "0");
    secondComponents.resize(count, "0");
    for (std::size_t i = 0; i < count; ++i) {
        const auto order = compareComponents(firstComponents[i], secondComponents[i]);
        if (!order) {
            return std::nullopt;
        }
        if (*order != 0) {
            // The callers read -1 as "the first is the higher".
            return -*order;
        }
    }
    return 0;
}

}  // namespace mvk
