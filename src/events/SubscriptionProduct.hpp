#pragma once

#include <map>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace mvk {

/// One subscription product of the store with its prices: an element of the
/// "sbsp" event and of the project's stored subscription state.
///
/// Prices are base-10 amounts held as doubles: the writer prints the shortest
/// text that reads back to the same double, so 4.99 is written 4.99.
struct SubscriptionProduct {
    std::string productId;
    double price = 0;
    std::string regionCode;
    std::string currencyCode;
    std::optional<double> introductoryPrice{};
    /// Discount identifier to discount price.
    std::optional<std::map<std::string, double>> discounts{};

    /// {"productId", "price", "regionCode", "currencyCode", "introductoryPrice"?,
    /// "discounts"?}. A non-finite price stays in the value, so that the
    /// event writer can name it; `toJson` refuses it.
    nlohmann::ordered_json toJsonValue() const;
    /// The JSON form, or absent when a price is NaN or infinite.
    std::optional<nlohmann::ordered_json> toJson() const;
    /// The four first keys are required; prices are any finite JSON number.
    static std::optional<SubscriptionProduct> fromJson(const nlohmann::json& value);

    /// Whether the store still offers the same product at the same prices.
    /// The region does not count; prices count only beyond 0.0001, an absent
    /// introductory price counts as 0, and discounts count only when both
    /// sides have the same number of them.
    friend bool operator==(const SubscriptionProduct& lhs, const SubscriptionProduct& rhs);
};

}  // namespace mvk
