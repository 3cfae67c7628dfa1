#include "foundation/StringExtensions.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include <utf8proc.h>

#include "foundation/Logger.hpp"

namespace mvk {

namespace {

bool isWordSeparator(utf8proc_int32_t codePoint) {
    switch (utf8proc_category(codePoint)) {
        case UTF8PROC_CATEGORY_ZS:
        case UTF8PROC_CATEGORY_ZL:
        case UTF8PROC_CATEGORY_ZP:
            return true;
        default:
            return codePoint == '\t' || codePoint == '\n' || codePoint == '\v' ||
                   codePoint == '\f' || codePoint == '\r' || codePoint == 0x85;
    }
}

void appendCodePoint(std::string& out, utf8proc_int32_t codePoint) {
    utf8proc_uint8_t buffer[4];
    auto length = utf8proc_encode_char(codePoint, buffer);
    out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

void appendCapitalized(std::string& out, std::string_view word) {
    const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(word.data());
    auto remaining = static_cast<utf8proc_ssize_t>(word.size());
    bool atWordStart = true;
    while (remaining > 0) {
        utf8proc_int32_t codePoint = 0;
        auto length = utf8proc_iterate(bytes, remaining, &codePoint);
        if (length <= 0) {
            // Not UTF-8: pass the byte through untouched rather than guess.
            out.push_back(static_cast<char>(*bytes));
            length = 1;
            atWordStart = false;
        } else if (isWordSeparator(codePoint)) {
            out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
            atWordStart = true;
        } else {
            appendCodePoint(
                out, atWordStart ? utf8proc_totitle(codePoint) : utf8proc_tolower(codePoint));
            atWordStart = false;
        }
        bytes += length;
        remaining -= length;
    }
}

// An optional sign and decimal digits only: no blanks, no base prefix.
std::optional<std::int64_t> parseDecimalInteger(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        digits.remove_prefix(1);
    }
    if (digits.empty() ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    // from_chars takes a minus sign but not a plus sign.
    std::string_view number = text.front() == '+' ? digits : text;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<bool> stringToBool(std::string_view text) {
    std::string lower(text);
    // ASCII only: every accepted word is ASCII, and the C locale must not matter.
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    if (lower == "true" || lower == "t" || lower == "yes" || lower == "y") {
        return true;
    }
    if (lower == "false" || lower == "f" || lower == "no" || lower == "n" || lower.empty()) {
        return false;
    }
    if (auto number = parseDecimalInteger(text)) {
        return *number != 0;
    }
    return std::nullopt;
}

AnyCodable::Object stringToDictionary(std::string_view text) {
    std::string error;
    auto value = AnyCodable::parse(text, &error);
    if (!value) {
        Logger::writeLog(
            MVKLogLevel::error,
            "When trying to convert String to Dictionary, an error has occurred: " + error);
        return {};
    }
    auto* object = value->asObject();
    return object != nullptr ? std::move(*object) : AnyCodable::Object();
}

std::string capitalizedJoin(std::span<const std::string_view> words) {
    if (words.empty()) {
        return {};
    }
    std::string result(words.front());
    for (auto word : words.subspan(1)) {
        appendCapitalized(result, word);
    }
    return result;
}

}  // namespace mvk
