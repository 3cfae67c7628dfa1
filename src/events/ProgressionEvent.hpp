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
#include "events/ProgressionEventParams.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// A progression (a location of the game) finished, with what was spent and
/// earned in it. The record has no "inProgress": it ends the progression.
struct ProgressionEvent {
    static constexpr std::string_view code = EventCode::progressionEvent;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::string name;
    /// Absent when nothing was spent.
    std::optional<std::map<std::string, std::int64_t>> spent{};
    /// Absent when nothing was earned.
    std::optional<std::map<std::string, std::int64_t>> earned{};
    ProgressionEventParams parameters;
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
