#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/EventCode.hpp"
#include "events/EventDescription.hpp"
#include "foundation/AnyCodable.hpp"
#include "foundation/Clock.hpp"
#include "foundation/JsonTextWriter.hpp"

namespace mvk {

/// A named event of the game with free parameters (booleans, numbers and
/// texts once validated).
struct CustomEvent {
    static constexpr std::string_view code = EventCode::customEvent;
    std::int64_t timestamp = Clock::nowMillis();
    std::int64_t sessionId;
    std::int64_t level;
    std::string name;
    /// Written only when it holds at least one entry.
    std::optional<AnyCodable::Object> parameters{};
    std::optional<std::vector<std::string>> inProgress{};
    std::optional<std::string> inExperiments{};

    void encodeFields(nlohmann::ordered_json& json) const;
    /// The same fields as text; false when a value needs the tree's checks
    /// (a non-finite number, a container).
    bool writeFields(JsonTextWriter& writer) const;
    void describeFields(EventDescription& text) const;
};

}  // namespace mvk
