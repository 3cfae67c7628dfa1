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

/// The push token and whether the user allows push messages. No level.
struct PushToken {
    static constexpr std::string_view code = EventCode::pushToken;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    bool isAllowed;
    std::string token;
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
