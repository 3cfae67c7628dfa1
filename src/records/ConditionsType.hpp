#pragma once

#include <optional>
#include <string_view>

namespace mvk {

/// What a condition looks at: the user's audience (`backend`) or a newly
/// stored event (`local`). Written as its raw text.
enum class ConditionsType {
    backend,
    local,
};

/// The case for a raw text, or none for any other text (the match is exact).
std::optional<ConditionsType> ConditionsTypeFromRawValue(std::string_view rawValue);

/// "backend" or "local".
constexpr std::string_view rawValue(ConditionsType type) {
    return type == ConditionsType::backend ? "backend" : "local";
}

}  // namespace mvk
