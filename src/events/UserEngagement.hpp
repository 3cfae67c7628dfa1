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

/// The length of the session part that just ended, in whole seconds (at
/// least 1; the builder makes none for 0).
struct UserEngagement {
    static constexpr std::string_view code = EventCode::userEngagement;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::int64_t length;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
