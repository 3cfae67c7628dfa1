#pragma once

#include "device/ApplicationData.hpp"
#include "device/DeviceData.hpp"
#include "device/IdentifierData.hpp"
#include "device/SdkData.hpp"

namespace mvk {

/// What device, application and SDK the library runs on, and which device
/// identifiers it sends.
class PlatformProtocol {
  public:
    virtual ~PlatformProtocol() = default;

    virtual ApplicationData getApplicationData() = 0;
    virtual DeviceData getDeviceData() = 0;
    virtual IdentifierData getIdentifierData() = 0;
    virtual SdkData getSdkData() = 0;
};

}  // namespace mvk
