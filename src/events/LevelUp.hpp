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

/// A new level reached, with the balance the game passed and what was spent,
/// earned and bought on the level just finished (only for a step of one).
struct LevelUp {
    static constexpr std::string_view code = EventCode::levelUp;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    /// The new level.
    std::int64_t level;
    /// Absent when the game passed an empty balance.
    std::optional<std::map<std::string, std::int64_t>> balance{};
    std::optional<std::map<std::string, std::int64_t>> spent{};
    std::optional<std::map<std::string, std::int64_t>> earned{};
    std::optional<std::map<std::string, std::int64_t>> bought{};
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
