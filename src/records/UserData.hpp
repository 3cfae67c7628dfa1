#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// What the gateway knows of the user (first sight, payments, subscriptions,
/// acquisition); the audience of the experiments is matched against it.
struct UserData {
    /// Milliseconds since 1970.
    std::optional<std::int64_t> created{};
    /// "newUser" on the wire.
    std::optional<bool> isNewUser{};
    std::optional<std::string> firstVersion{};
    /// "pCapacity" on the wire.
    std::optional<std::int64_t> payingCapacity{};
    /// "pCount" on the wire.
    std::optional<std::int64_t> paymentsCount{};
    /// "pSum" on the wire.
    std::optional<double> paymentsSum{};
    /// "sbsCount" on the wire.
    std::optional<std::int64_t> sbsPaymentsCount{};
    /// "sbsSum" on the wire.
    std::optional<double> sbsPaymentsSum{};
    std::optional<std::int64_t> sbsStatus{};
    std::optional<std::int64_t> channel{};
    std::optional<std::int64_t> campaign{};

    /// Every key may be missing or null; a present one must have its type.
    static std::optional<UserData> fromJson(const nlohmann::json& json,
                                            std::string* error = nullptr);
    /// Present fields only, under their wire keys.
    nlohmann::ordered_json toJson() const;

    /// "\tcreated: ...\n\tisNewUser: true..." for the present fields, doubles
    /// in their shortest form; "BackendUserInfo is empty" when none is.
    std::string description() const;

    friend bool operator==(const UserData&, const UserData&) = default;
};

}  // namespace mvk
