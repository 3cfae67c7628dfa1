#pragma once

#include <memory>
#include <optional>
#include <string>

#include "device/IdentifierCollectorProtocol.hpp"
#include "device/IdentifierData.hpp"

namespace mvk {

class IdentifierInfoRepositoryProtocol {
  public:
    virtual ~IdentifierInfoRepositoryProtocol() = default;

    virtual std::shared_ptr<IdentifierCollectorProtocol> collector() const = 0;
    virtual IdentifierData::DeviceUIDs obtainDeviceUIDs() = 0;
    virtual bool isLimitAdTrackingEnabled() = 0;
    virtual std::optional<std::string> idfv() = 0;
    virtual std::optional<std::string> idfa() = 0;
    virtual std::string uuid() = 0;
};

}  // namespace mvk
