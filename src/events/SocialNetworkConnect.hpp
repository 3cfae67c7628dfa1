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

/// The player connected a social network.
struct SocialNetworkConnect {
    static constexpr std::string_view code = EventCode::socialNetworkConnect;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::string socialNetwork;
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
