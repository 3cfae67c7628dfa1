#pragma once

#include <memory>

#include "device/ApplicationData.hpp"
#include "device/ApplicationInfoRepositoryProtocol.hpp"

namespace mvk {

class ApplicationGatewayProtocol {
  public:
    virtual ~ApplicationGatewayProtocol() = default;

    virtual std::shared_ptr<ApplicationInfoRepositoryProtocol> applicationRepository() const = 0;
    virtual ApplicationData applicationData() = 0;
};

}  // namespace mvk
