#include "events/SubscriptionProduct.hpp"

#include <cmath>

#include "events/StorableEncoder.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

constexpr double priceTolerance = 0.0001;

bool samePrice(double lhs, double rhs) {
    return std::fabs(lhs - rhs) < priceTolerance;
}

bool sameDiscounts(const std::optional<std::map<std::string, double>>& lhs,
                   const std::optional<std::map<std::string, double>>& rhs) {
    if (!lhs || !rhs || lhs->size() != rhs->size()) {
        return true;
    }
    for (const auto& [identifier, price] : *lhs) {
        auto other = rhs->find(identifier);
        if (other == rhs->end() || !samePrice(price, other->second)) {
            return false;
        }
    }
    return true;
}

/// False when the member is there but is not an object of finite numbers.
bool readDiscounts(const nlohmann::json* value,
                   std::optional<std::map<std::string, double>>& discounts) {
    if (value == nullptr) {
        return true;
    }
    if (!value->is_object()) {
        return false;
    }
    discounts.emplace();
    for (const auto& [identifier, price] : value->items()) {
        auto amount = JsonObjectReader::asDouble(price);
        if (!amount) {
            return false;
        }
        discounts->emplace(identifier, *amount);
    }
    return true;
}

}  // namespace

nlohmann::ordered_json SubscriptionProduct::toJsonValue() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["productId"] = productId;
    json["price"] = price;
    json["regionCode"] = regionCode;
    json["currencyCode"] = currencyCode;
    if (introductoryPrice) {
        json["introductoryPrice"] = *introductoryPrice;
    }
    if (discounts) {
        auto& object = json["discounts"] = nlohmann::ordered_json::object();
        for (const auto& [identifier, amount] : *discounts) {
            object[identifier] = amount;
        }
    }
    return json;
}

std::optional<nlohmann::ordered_json> SubscriptionProduct::toJson() const {
    auto json = toJsonValue();
    if (StorableEncoder::encodingError(json)) {
        return std::nullopt;
    }
    return json;
}

std::optional<SubscriptionProduct> SubscriptionProduct::fromJson(const nlohmann::json& value) {
    JsonObjectReader reader(value);
    auto productId = reader.requiredString("productId");
    auto price = reader.requiredDouble("price");
    auto regionCode = reader.requiredString("regionCode");
    auto currencyCode = reader.requiredString("currencyCode");
    auto introductoryPrice = reader.optionalDouble("introductoryPrice");
    std::optional<std::map<std::string, double>> discounts;
    const bool discountsRead = readDiscounts(reader.optionalValue("discounts"), discounts);
    if (!reader.ok() || !discountsRead) {
        return std::nullopt;
    }
    return SubscriptionProduct{.productId = std::move(*productId),
                               .price = *price,
                               .regionCode = std::move(*regionCode),
                               .currencyCode = std::move(*currencyCode),
                               .introductoryPrice = introductoryPrice,
                               .discounts = std::move(discounts)};
}

bool operator==(const SubscriptionProduct& lhs, const SubscriptionProduct& rhs) {
    return lhs.productId == rhs.productId && lhs.currencyCode == rhs.currencyCode &&
           samePrice(lhs.price, rhs.price) &&
           samePrice(lhs.introductoryPrice.value_or(0), rhs.introductoryPrice.value_or(0)) &&
           sameDiscounts(lhs.discounts, rhs.discounts);
}

}  // namespace mvk
