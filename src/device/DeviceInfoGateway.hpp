#pragma once

#include <optional>

#include "device/DeviceInfoGatewayProtocol.hpp"

namespace mvk {

/// The device record, built once. Language, country and time-zone offset can
/// change while the game runs, so they are read again on every call. Used from
/// the income queue only.
class DeviceInfoGateway final : public DeviceInfoGatewayProtocol {
  public:
    explicit DeviceInfoGateway(std::shared_ptr<DeviceInfoRepositoryProtocol> deviceInfoRepository);

    std::shared_ptr<DeviceInfoRepositoryProtocol> deviceInfoRepository() const override;
    DeviceData getDeviceData() override;

  private:
    std::optional<DeviceData> savedData_;
    const std::shared_ptr<DeviceInfoRepositoryProtocol> deviceInfoRepository_;
};

}  // namespace mvk
