#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// A purchase paid in game currencies.
struct VirtualCurrencyPayment {
    static constexpr std::string_view code = EventCode::virtualCurrencyPayment;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::string purchaseId;
    std::int64_t purchaseAmount;
    /// Currency name to amount paid; written also when empty.
    std::map<std::string, std::int64_t> purchasePrice;
    std::string purchaseType;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
