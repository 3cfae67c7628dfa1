#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "foundation/AnyCodable.hpp"

namespace mvk {

/// The events the gateway does not want: all of them, or per event code the
/// argument values whose events are left out.
struct ExcludeEvents {
    /// Sent back to the gateway so it knows which list the library holds.
    std::int64_t version = 0;
    std::optional<bool> all{};
    std::optional<std::map<std::string, AnyCodable::Array>> events{};

    /// Absent when "version" is missing or any member has the wrong type.
    static std::optional<ExcludeEvents> fromJson(const nlohmann::json& json);
    /// "version" always, "all" and "events" when present; absent when a value
    /// in `events` cannot be written.
    std::optional<nlohmann::ordered_json> toJson() const;

    bool operator==(const ExcludeEvents&) const = default;
};

}  // namespace mvk
