#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "events/SubscriptionProduct.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// The subscription products on offer. No level, no "inProgress".
struct SubscriptionProductsEvent {
    static constexpr std::string_view code = EventCode::subscriptionProductsEvent;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    /// Written also when empty.
    std::vector<SubscriptionProduct> products;
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
