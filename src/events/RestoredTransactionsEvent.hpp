#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "events/RestoredTransaction.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// The restored subscription history. No level, no "inProgress".
struct RestoredTransactionsEvent {
    static constexpr std::string_view code = EventCode::restoredTransactionsEvent;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    /// The currency of the first stored product.
    std::string currencyCode;
    std::vector<RestoredTransaction> transactions;
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
