#pragma once

#include <optional>
#include <string>

#include "platform/IdentifierSourceProtocol.hpp"

namespace mvk {

/// The system's advertising and vendor identifiers and the tracking
/// permission. A lookup that fails answers nothing, or false for the
/// permission, so a broken platform service never stops start-up.
class TrackingHelper {
  public:
    TrackingHelper() = delete;

    static std::optional<std::string> getIdentifier(IdentifierSourceProtocol& source) noexcept;
    static std::optional<std::string> getVendor(IdentifierSourceProtocol& source) noexcept;
    /// True when the user authorised tracking or has not been asked yet.
    static bool getNewStatus(IdentifierSourceProtocol& source) noexcept;
};

}  // namespace mvk
