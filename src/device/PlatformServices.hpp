#pragma once

#include <memory>

#include "platform/ApplicationInfoProtocol.hpp"
#include "platform/DeviceInfoProtocol.hpp"
#include "platform/IdentifierSourceProtocol.hpp"
#include "platform/SecureStoreProtocol.hpp"

namespace mvk {

/// The system services the platform chains read; tests hand in fakes.
struct PlatformServices {
    std::shared_ptr<const ApplicationInfoProtocol> application;
    std::shared_ptr<const DeviceInfoProtocol> device;
    std::shared_ptr<IdentifierSourceProtocol> identifiers;
    /// Holds the device identifiers between runs.
    std::shared_ptr<SecureStoreProtocol> secureStore;

    /// The machine's services: the values the host set through its public
    /// calls, and the secure store in its folder as it is set now.
    static PlatformServices system();
};

}  // namespace mvk
