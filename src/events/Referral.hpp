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

/// Install attribution data, sent once per project. No level.
struct Referral {
    static constexpr std::string_view code = EventCode::referral;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::optional<std::string> source{};
    std::optional<std::string> campaign{};
    std::optional<std::string> content{};
    std::optional<std::string> medium{};
    std::optional<std::string> term{};
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
