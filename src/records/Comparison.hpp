#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// One comparison of a condition: an operator text ("IN", "<", "boolean", ...)
/// and the value the found value is compared with.
struct Comparison {
    std::string key{};
    /// A list for "IN" and "NOT IN"; may be null.
    AnyCodable value{};

    /// "key" (text) and "value" are required; "value" may be JSON null, which
    /// the gateway sends and which must survive being stored.
    static std::optional<Comparison> fromJson(const nlohmann::json& json);
    /// Absent when the value cannot be written (a non-finite number).
    std::optional<nlohmann::ordered_json> toJson() const;

    friend bool operator==(const Comparison&, const Comparison&) = default;
};

}  // namespace mvk
