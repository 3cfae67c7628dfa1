#pragma once

#include <memory>

#include "device/DeviceData.hpp"
#include "device/DeviceInfoRepositoryProtocol.hpp"

namespace mvk {

class DeviceInfoGatewayProtocol {
  public:
    virtual ~DeviceInfoGatewayProtocol() = default;

    virtual std::shared_ptr<DeviceInfoRepositoryProtocol> deviceInfoRepository() const = 0;
    virtual DeviceData getDeviceData() = 0;
};

}  // namespace mvk
