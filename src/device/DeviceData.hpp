#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace mvk {

/// The device as sent with the device information and matched by A/B audiences.
struct DeviceData {
    std::optional<std::string> language;
    std::string country;
    std::string osVersion;
    std::string osName;
    std::optional<std::int64_t> displayPpi;
    /// "<smaller side>x<larger side>" in physical pixels.
    std::optional<std::string> displayResolution;
    /// Inches.
    std::optional<double> displayDiagonal;
    std::string manufacturer;
    std::string model;
    /// Seconds east of GMT.
    std::int64_t timeZoneOffset = 0;

    friend bool operator==(const DeviceData&, const DeviceData&) = default;
};

}  // namespace mvk
