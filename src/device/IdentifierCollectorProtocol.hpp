#pragma once

#include <optional>
#include <string>

#include "device/IdentifierData.hpp"

namespace mvk {

class IdentifierCollectorProtocol {
  public:
    virtual ~IdentifierCollectorProtocol() = default;

    virtual bool isAdvertisingTrackingEnabled() = 0;
    virtual std::optional<std::string> idfv() = 0;
    virtual std::optional<std::string> idfa() = 0;
    virtual std::string uuid() = 0;
    virtual IdentifierData::DeviceUIDs getUIDs() = 0;
};

}  // namespace mvk
