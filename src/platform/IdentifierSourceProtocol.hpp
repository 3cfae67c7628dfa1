#pragma once

#include <optional>
#include <string>

namespace mvk {

/// The system's device identifiers and the user's tracking permission.
class IdentifierSourceProtocol {
  public:
    virtual ~IdentifierSourceProtocol() = default;

    /// The advertising identifier; nothing where the system has none.
    virtual std::optional<std::string> advertisingIdentifier() = 0;
    /// An upper-case UUID that stays the same for this application on this machine.
    virtual std::optional<std::string> vendorIdentifier() = 0;
    /// Whether the user allowed advertising tracking.
    virtual bool isTrackingAuthorized() = 0;
};

}  // namespace mvk
