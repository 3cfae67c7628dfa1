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

/// Game currency earned or bought since the last such event, aggregated from
/// "currencyAccrualResources": source to currency name to amount. For rows of
/// an earlier run the builder sets `timestamp` to the latest row's time. The
/// record has no "inProgress".
struct CurrencyAccrual {
    /// Source to currency name to amount.
    using AccrualsBySource = std::map<std::string, std::map<std::string, std::int64_t>>;

    static constexpr std::string_view code = EventCode::currencyAccrual;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::optional<AccrualsBySource> earned{};
    std::optional<AccrualsBySource> bought{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
