#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// The ids the gateway gives a user; later requests carry them as headers.
struct UserIdentifiers {
    std::optional<std::int64_t> morvanixId{};
    std::optional<std::int64_t> crossPlatformMorvanixId{};
    std::optional<std::int64_t> morvanixIdTimestamp{};

    /// Every key may be missing or null; a present one must be an integer.
    static std::optional<UserIdentifiers> fromJson(const nlohmann::json& json,
                                                   std::string* error = nullptr);
    /// Present fields only, in field order.
    nlohmann::ordered_json toJson() const;

    /// "\tmorvanixId: 5\n\tcrossPlatformMorvanixId: ..." for the present
    /// fields; "Empty failed" when none is.
    std::string description() const;

    friend bool operator==(const UserIdentifiers&, const UserIdentifiers&) = default;
};

}  // namespace mvk
