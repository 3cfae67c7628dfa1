#include "platform/LocaleName.hpp"

#include <algorithm>

namespace mvk {

namespace {

bool isLetters(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; });
}

bool isDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

/// ASCII letters in lower or upper case; other characters as they are.
std::string withCase(std::string_view text, bool lower) {
    std::string result(text);
    for (char& c : result) {
        if (isLetters(std::string_view(&c, 1))) {
            c = static_cast<char>(lower ? (c | 0x20) : (c & ~0x20));
        }
    }
    return result;
}

/// Keywords follow "@", separated by ";" ("@currency=EUR;collation=phonebook");
/// a currency code is three letters.
std::string currencyKeyword(std::string_view name) {
    const auto at = name.find('@');
    if (at == std::string_view::npos) {
        return "";
    }
    std::string_view keywords = name.substr(at + 1);
    while (!keywords.empty()) {
        const auto end = std::min(keywords.find(';'), keywords.size());
        const std::string_view keyword = keywords.substr(0, end);
        constexpr std::string_view key = "currency=";
        if (keyword.starts_with(key)) {
            const std::string_view code = keyword.substr(key.size());
            return code.size() == 3 && isLetters(code) ? withCase(code, false) : "";
        }
        keywords.remove_prefix(std::min(end + 1, keywords.size()));
    }
    return "";
}

/// The text up to the next "_" or "-", taken off the front of `name`.
std::string_view nextSubtag(std::string_view& name) {
    const auto end = name.find_first_of("_-");
    const std::string_view subtag = name.substr(0, end);
    name.remove_prefix(end == std::string_view::npos ? name.size() : end + 1);
    return subtag;
}

}  // namespace

LocaleName LocaleName::parse(std::string_view name) {
    LocaleName locale;
    locale.currency_ = currencyKeyword(name);
    name = name.substr(0, name.find_first_of(".@"));
    const std::string_view language = nextSubtag(name);
    // A script ("zh_Hant_TW", "sr_Latn_RS") may stand between the language
    // and the region, and a variant ("en_US_POSIX") may follow the region.
    std::string_view region = nextSubtag(name);
    if (region.size() == 4 && isLetters(region)) {
        region = nextSubtag(name);
    }

    // Language subtags are two or three letters (up to eight when registered);
    // "C" and "POSIX" fall outside on purpose.
    if (language.size() >= 2 && language.size() <= 8 && language != "POSIX" &&
        isLetters(language)) {
        locale.language_ = withCase(language, true);
        if ((region.size() == 2 && isLetters(region)) || (region.size() == 3 && isDigits(region))) {
            locale.region_ = withCase(region, false);
        }
    }
    return locale;
}

}  // namespace mvk
