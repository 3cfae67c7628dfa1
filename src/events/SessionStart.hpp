#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"

namespace mvk {

/// A game session began. The builder sets `timestamp` to the session id
/// itself, so both keys carry the same value; nothing reads the clock.
struct SessionStart {
    static constexpr std::string_view code = EventCode::sessionStart;
    std::int64_t timestamp;
    std::int64_t sessionId;
    std::int64_t level;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
