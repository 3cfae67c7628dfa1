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

/// The device, the system, the identifiers and the build's sandbox state.
/// The one record without "inExperiments".
struct DeviceInfo {
    static constexpr std::string_view code = EventCode::deviceInfo;
    std::int64_t timestamp = Clock::nowMillis();
    std::string osVersion;
    std::string os;
    std::optional<std::int64_t> displayPpi{};
    std::optional<std::string> displayResolution{};
    /// In inches; see `roundedDiagonal`.
    std::optional<double> displayDiagonal{};
    std::string manufacturer;
    std::string model;
    /// Seconds from GMT.
    std::int64_t timeZoneOffset;
    /// True exactly when there is no `idfa`.
    bool isLimitAdTrackingEnabled;
    std::optional<std::string> idfv{};
    std::optional<std::string> idfa{};
    std::string uuid;
    std::optional<std::int64_t> sandboxState{};

    void encodeFields(nlohmann::ordered_json& json) const;
    void describeFields(EventDescription& text) const;

    /// A diagonal as the event carries it: rounded to 5 decimal places, halves
    /// away from zero (5.8123456 gives 5.81235).
    static double roundedDiagonal(double inches);
};

}  // namespace mvk
