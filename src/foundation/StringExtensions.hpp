#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// A setting or answer text read as a truth value: "true"/"t"/"yes"/"y" and
/// "false"/"f"/"no"/"n"/"" in any letter case, or a decimal integer that fits
/// 64 bits (zero is false). Anything else is nullopt.
std::optional<bool> stringToBool(std::string_view text);

/// The text parsed as a JSON object. Any failure answers the empty object: a
/// text that does not parse is logged as an error; valid JSON that is not an
/// object is not.
AnyCodable::Object stringToDictionary(std::string_view text);

/// The first word as given, each further word capitalized (first letter upper
/// case, the rest lower case), no separator: {"set", "user", "name"} gives
/// "setUserName". Inside a word, whitespace starts a new capitalized word.
std::string capitalizedJoin(std::span<const std::string_view> words);

template <class... Words>
requires(std::is_convertible_v<const Words&, std::string_view>&&...) std::string
    capitalizedJoin(const Words&... words) {
    const std::string_view list[] = {std::string_view(words)..., std::string_view()};
    return capitalizedJoin(std::span<const std::string_view>(list, sizeof...(Words)));
}

}  // namespace mvk
