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

/// A tutorial step the game passed, reported once per step and user.
struct Tutorial {
    static constexpr std::string_view code = EventCode::tutorial;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::int64_t step;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
