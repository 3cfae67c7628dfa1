#pragma once

#include <memory>

#include "core/SDKRepositoryProtocol.hpp"
#include "core/SdkData.hpp"

namespace mvk {

class SDKGatewayProtocol {
  public:
    virtual ~SDKGatewayProtocol() = default;

    virtual std::shared_ptr<SDKRepositoryProtocol> sdkRepository() const = 0;
    virtual SdkData sdkData() = 0;
};

}  // namespace mvk
