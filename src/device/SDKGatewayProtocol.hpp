#pragma once

#include <memory>

#include "device/SDKRepositoryProtocol.hpp"
#include "device/SdkData.hpp"

namespace mvk {

class SDKGatewayProtocol {
  public:
    virtual ~SDKGatewayProtocol() = default;

    virtual std::shared_ptr<SDKRepositoryProtocol> sdkRepository() const = 0;
    virtual SdkData sdkData() = 0;
};

}  // namespace mvk
