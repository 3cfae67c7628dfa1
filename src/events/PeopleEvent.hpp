#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "events/PeopleValueType.hpp"
#include "foundation/Clock.hpp"

namespace mvk {

/// The user card's properties: the whole card, the changed ones, or none for
/// a cleared card. The one record that writes an absent field, "parameters",
/// as null.
struct PeopleEvent {
    static constexpr std::string_view code = EventCode::peopleEvent;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    /// Property name to value; the null marker of an unset property is
    /// written as null.
    std::optional<PeopleProperties> parameters{};
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
