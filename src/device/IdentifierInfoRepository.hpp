#pragma once

#include "device/IdentifierInfoRepositoryProtocol.hpp"
#include "device/PlatformStorageProtocol.hpp"

namespace mvk {

class IdentifierInfoRepository final : public IdentifierInfoRepositoryProtocol {
  public:
    IdentifierInfoRepository(std::shared_ptr<PlatformStorageProtocol> platformStorage,
                             std::shared_ptr<IdentifierCollectorProtocol> collector);

    std::shared_ptr<IdentifierCollectorProtocol> collector() const override;
    /// Also keeps the chosen identifier in the platform storage.
    IdentifierData::DeviceUIDs obtainDeviceUIDs() override;
    bool isLimitAdTrackingEnabled() override;
    std::optional<std::string> idfv() override;
    std::optional<std::string> idfa() override;
    std::string uuid() override;

  private:
    const std::shared_ptr<PlatformStorageProtocol> platformStorage_;
    const std::shared_ptr<IdentifierCollectorProtocol> collector_;
};

}  // namespace mvk
