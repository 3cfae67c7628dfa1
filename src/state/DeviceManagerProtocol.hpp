#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "device/ApplicationData.hpp"
#include "device/DeviceData.hpp"
#include "state/DeviceIdentifiers.hpp"
#include "device/IdentifierData.hpp"
#include "state/Project.hpp"
#include "device/SdkData.hpp"

namespace mvk {

/// Owns the device identifiers row of each project and the stored SDK
/// version, and hands out the platform's records.
class DeviceManagerProtocol {
  public:
    virtual ~DeviceManagerProtocol() = default;

    /// The project's identifiers row, created on first use and brought in
    /// line with the platform's current device UID. Null when the stored rows
    /// could not be read: nothing is inserted then.
    virtual std::shared_ptr<DeviceIdentifiers> initializeDeviceId(const Project& project) = 0;

    virtual ApplicationData getAppData() = 0;
    virtual DeviceData getDeviceData() = 0;
    virtual IdentifierData getIdentifiersData() = 0;
    virtual SdkData getSdkData() = 0;

    /// Stores the three backend identifiers into the project's row; a failure
    /// is logged.
    virtual void updateDeviceIdentifiers(const Project& project,
                                         std::optional<std::int64_t> morvanixId,
                                         std::optional<std::int64_t> crossPlatformMorvanixId,
                                         std::optional<std::int64_t> morvanixIdTimestamp) = 0;

    /// Compares the stored SDK version with the running one and stores the
    /// running one. Absent on the first run (nothing was stored), true when it
    /// changed, false otherwise (also when the stored value or the table cannot
    /// be read; nothing is stored then).
    virtual std::optional<bool> sdkVersionIsChanged() = 0;
};

}  // namespace mvk
