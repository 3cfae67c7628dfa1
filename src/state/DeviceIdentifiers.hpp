#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The device's identifiers for one project: one row of "deviceIdentifiers".
/// The row cache and the services share one object and change it in place.
struct DeviceIdentifiers {
    /// Identifiers not stored yet, without backend identifiers.
    DeviceIdentifiers(std::int64_t projectId, std::string deviceIdentifier, std::string uuid,
                      std::optional<std::string> previousDeviceIdentifier)
        : projectId(projectId),
          deviceIdentifier(std::move(deviceIdentifier)),
          previousDeviceIdentifier(std::move(previousDeviceIdentifier)),
          uuid(std::move(uuid)) {}

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// `idKey` of the project.
    std::int64_t projectId;
    /// The current device UID.
    std::string deviceIdentifier;
    /// The UID before the last change.
    std::optional<std::string> previousDeviceIdentifier;
    /// Assigned by the backend.
    std::optional<std::int64_t> morvanixId;
    std::optional<std::int64_t> crossPlatformMorvanixId;
    /// When the backend identifiers were received, in milliseconds.
    std::optional<std::int64_t> morvanixIdTimestamp;
    /// The platform layer's custom UUID.
    std::string uuid;

    /// Columns id, projectId, deviceIdentifier, previousDeviceIdentifier,
    /// morvanixId, crossPlatformMorvanixId, uuid, morvanixIdTimestamp (added
    /// last by a schema upgrade). Absent when the id or project id is not an
    /// integer, or the device identifier or uuid is not a text.
    static std::optional<DeviceIdentifiers> fromCursor(const Cursor& cursor);

    /// Every column but the id, for an insert or an update.
    ContentValues contentValues() const;
};

}  // namespace mvk
