#pragma once

#include <memory>

#include "device/ApplicationGatewayProtocol.hpp"
#include "device/DeviceInfoGatewayProtocol.hpp"
#include "device/IdentifierGatewayProtocol.hpp"
#include "device/PlatformProtocol.hpp"
#include "device/PlatformServices.hpp"
#include "device/PlatformStorageProtocol.hpp"
#include "device/SDKGatewayProtocol.hpp"

namespace mvk {

/// Builds the four chains (collector, info repository, gateway) over the
/// system services. One instance lives as long as the core; its records are
/// read from the income queue only.
///
/// The children's-privacy flag is taken at construction, so it acts only when
/// the host sets it before start-up.
class Platform final : public PlatformProtocol {
  public:
    Platform(std::shared_ptr<PlatformStorageProtocol> platformStorage, bool coppaControlEnabled,
             const PlatformServices& services = PlatformServices::system());

    ApplicationData getApplicationData() override;
    DeviceData getDeviceData() override;
    IdentifierData getIdentifierData() override;
    SdkData getSdkData() override;

    bool coppaControlEnabled() const { return coppaControlEnabled_; }

  private:
    const std::shared_ptr<ApplicationGatewayProtocol> applicationGateway_;
    const std::shared_ptr<DeviceInfoGatewayProtocol> deviceGateway_;
    const std::shared_ptr<IdentifierGatewayProtocol> identifierGateway_;
    const std::shared_ptr<SDKGatewayProtocol> sdkGateway_;
    const std::shared_ptr<PlatformStorageProtocol> platformStorage_;
    const bool coppaControlEnabled_;
};

}  // namespace mvk
