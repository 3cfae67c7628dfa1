#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "events/EventDescription.hpp"
#include "events/Location.hpp"

namespace mvk {

/// The "parameters" object of a finished progression.
struct ProgressionEventParams {
    bool success;
    /// Whole seconds.
    std::optional<std::int64_t> duration{};
    std::optional<std::int64_t> difficulty{};
    std::optional<std::string> source{};

    /// The parameters of `location` finished at `nowMillis`: the game's
    /// duration when it gave one above 0, else the seconds since the start;
    /// difficulty and source as given at the start.
    static ProgressionEventParams finishing(const Location& location, bool success,
                                            std::int64_t givenDuration, std::int64_t nowMillis);

    /// {"success", "duration"?, "difficulty"?, "source"?}
    nlohmann::ordered_json toJson() const;
    /// "\t parameters:\n\t\t success: ...\n" and the lines of the set fields.
    void describe(EventDescription& text) const;
};

}  // namespace mvk
