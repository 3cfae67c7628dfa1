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

/// A push message opened. Its `timestamp` is the host's time of the opening,
/// which the builder sets; the session only while it is still valid.
struct PushOpened {
    static constexpr std::string_view code = EventCode::pushOpened;
    std::int64_t timestamp;
    std::optional<std::int64_t> sessionId{};
    std::int64_t pushId;
    std::optional<std::string> button{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
