#include "foundation/VersionCompare.hpp"

#include <algorithm>
#include <charconv>
#include <type_traits>

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
Decoded decodeAt(std::string_view text, std::size_t pos) {
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
        const auto [codePoint, length] = decodeAt(text, pos);
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
        const auto [codePoint, length] = decodeAt(character, pos);
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

template <typename Variant, typename T>
std::optional<Variant> widen(std::optional<T> value) {
    return value ? std::optional<Variant>(*value) : std::nullopt;
}

std::optional<std::uint8_t> asciiCode(std::string_view character) {
    if (character.size() != 1 || static_cast<unsigned char>(character[0]) >= 0x80) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(character[0]);
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
    return compareVersionArrays(firstComponents, secondComponents);
}

std::optional<int> VersionCompare::compareVersionArrays(
    const std::vector<std::string_view>& first, const std::vector<std::string_view>& second) {
    if (first.empty() || second.empty()) {
        return 0;
    }
    const auto count = std::min(first.size(), second.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (first[i] == second[i]) {
            continue;
        }
        auto firstParts = prepareNumAndLetters(first[i]);
        auto secondParts = prepareNumAndLetters(second[i]);
        if (!firstParts || !secondParts) {
            return std::nullopt;
        }
        if (firstParts->digits != secondParts->digits) {
            return compareBetween(widen<Comparable>(parseInteger(firstParts->digits)),
                                  widen<Comparable>(parseInteger(secondParts->digits)));
        }
        auto& firstLetters = firstParts->letters;
        auto& secondLetters = secondParts->letters;
        if (firstLetters == secondLetters) {
            continue;
        }
        if (firstLetters.empty()) {
            return -1;
        }
        if (secondLetters.empty()) {
            return 1;
        }
        addZerosIfNeded(firstLetters, secondLetters);
        for (std::size_t j = 0; j < firstLetters.size(); ++j) {
            const auto firstCharacter = lowercased(firstLetters[j]);
            const auto secondCharacter = lowercased(secondLetters[j]);
            if (firstCharacter != secondCharacter) {
                return compareBetween(widen<Comparable>(asciiCode(firstCharacter)),
                                      widen<Comparable>(asciiCode(secondCharacter)));
            }
        }
    }
    return 0;
}

std::optional<VersionCompare::NumAndLetters> VersionCompare::prepareNumAndLetters(
    std::string_view component) {
    NumAndLetters parts;
    for (const auto& character : splitCharacters(component)) {
        if (isNumeric(character)) {
            parts.digits.append(character.bytes);
        } else {
            parts.letters.emplace_back(character.bytes);
        }
    }
    if (parts.digits.empty()) {
        return std::nullopt;
    }
    return parts;
}

std::optional<int> VersionCompare::compareBetween(std::optional<Comparable> x,
                                                  std::optional<Comparable> y) {
    if (!x || !y) {
        return std::nullopt;
    }
    return std::visit(
        [](auto first, auto second) -> std::optional<int> {
            if constexpr (std::is_same_v<decltype(first), decltype(second)>) {
                return second >= first ? 1 : -1;
            } else {
                return std::nullopt;
            }
        },
        *x, *y);
}

void VersionCompare::addZerosIfNeded(Characters& firstString, Characters& secondString) {
    const auto length = std::max(firstString.size(), secondString.size());
    firstString.resize(length, "0");
    secondString.resize(length, "0");
}

}  // namespace mvk
