#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "events/PeopleEvent.hpp"
#include "foundation/AnyCodable.hpp"
#include "records/UserData.hpp"

namespace mvk {

/// What the experiments' backend conditions are matched against: device,
/// country, level, the user card and the gateway's view of the user.
struct AudienceState {
    std::optional<double> displayDiagonal{};
    std::optional<std::string> country{};
    std::optional<std::string> language{};
    /// "level"
    std::optional<std::int64_t> userLevel{};
    /// "pl": the user card as its event.
    std::optional<PeopleEvent> people{};
    /// "payingUser": once true, stays true.
    bool payer = false;
    /// Whole days since `created`.
    std::optional<std::int64_t> lifetime{};
    /// The gateway's view of the user, under its wire keys.
    UserData backend{};

    /// Takes the gateway's fields (absent ones become absent); `payer` turns
    /// true with a payment or a subscription payment, and is never reset here.
    /// No data changes nothing.
    void setBackendUserData(const std::optional<UserData>& userData);

    /// |ceil((now - created) / one day)|; the difference saturates, since the
    /// gateway's `created` can be any 64-bit value.
    void updateLifeTime();

    /// The keys in field order, absent values left out.
    nlohmann::ordered_json toJson() const;

    /// The encoded state as the conditions read it; empty when it cannot be
    /// encoded (a non-finite number). Build it once per update, not per
    /// condition.
    AnyCodable::Object dictionary() const;
};

}  // namespace mvk
