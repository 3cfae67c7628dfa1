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

/// Whether the user allows tracking. Carries no session and no level: it is
/// also sent while there is no session.
struct TrackingStatus {
    static constexpr std::string_view code = EventCode::trackingStatus;
    std::int64_t timestamp = Clock::nowMillis();
    bool trackingAllowed;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
