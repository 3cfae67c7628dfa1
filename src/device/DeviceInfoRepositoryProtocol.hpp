#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "device/DeviceInfoCollectorProtocol.hpp"

namespace mvk {

class DeviceInfoRepositoryProtocol {
  public:
    virtual ~DeviceInfoRepositoryProtocol() = default;

    virtual std::shared_ptr<DeviceInfoCollectorProtocol> collector() const = 0;
    virtual std::optional<std::string> language() const = 0;
    virtual std::string country() const = 0;
    virtual std::string osVersion() const = 0;
    virtual std::string osName() const = 0;
    virtual std::optional<std::int64_t> displayPpi() const = 0;
    virtual std::optional<std::string> displayResolution() const = 0;
    virtual std::optional<double> displayDiagonal() const = 0;
    virtual std::string manufacturer() const = 0;
    virtual std::string model() const = 0;
    virtual std::int64_t timeZoneOffset() const = 0;
};

}  // namespace mvk
