#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// A subscription bought in the store. Its debug text names the product
/// before the order, unlike its keys.
struct SubscriptionPayment {
    static constexpr std::string_view code = EventCode::subscriptionPayment;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    /// The store transaction that identifies the purchase.
    std::string orderId;
    std::string productId;
    /// May be empty, as may the currency.
    std::string regionCode;
    std::string currencyCode;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
