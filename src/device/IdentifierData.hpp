#pragma once

#include <optional>
#include <string>

namespace mvk {

/// The identifiers of this device that the library sends.
struct IdentifierData {
    /// The device identifier in use and, when it changed, the one used before.
    struct DeviceUIDs {
        std::string current;
        std::optional<std::string> prev;

        friend bool operator==(const DeviceUIDs&, const DeviceUIDs&) = default;
    };

    DeviceUIDs deviceUIDs;
    bool isLimitAdTrackingEnabled = true;
    std::optional<std::string> idfv;
    std::optional<std::string> idfa;
    std::string uuid;

    friend bool operator==(const IdentifierData&, const IdentifierData&) = default;
};

}  // namespace mvk
