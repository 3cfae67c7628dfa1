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

/// Revenue of one ad impression. No level. Its keys are not all its field
/// names ("ad_network", "ad_unit") and do not follow the field order.
struct AdImpression {
    static constexpr std::string_view code = EventCode::adImpression;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::string network;
    double revenue;
    /// Always "sdk": the revenue was reported through this library.
    static constexpr std::string_view source = "sdk";
    std::optional<std::string> placement{};
    std::optional<std::string> unit{};
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
