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

/// Heartbeat of a running session, sent at once and never stored.
struct Alive {
    static constexpr std::string_view code = EventCode::alive;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
