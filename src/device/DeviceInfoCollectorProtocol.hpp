#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ScreenSize.hpp"

namespace mvk {

class DeviceInfoCollectorProtocol {
  public:
    virtual ~DeviceInfoCollectorProtocol() = default;

    virtual std::optional<std::string> language() const = 0;
    virtual std::string country() const = 0;
    virtual std::string osVersion() const = 0;
    virtual std::string osName() const = 0;
    virtual std::optional<std::string> displayResolution() const = 0;
    /// The screen in physical pixels.
    virtual std::optional<ScreenSize> nativeScreenBounds() const = 0;
    /// The density the host reported for its screen.
    virtual std::optional<std::int64_t> screenPpi() const = 0;
    virtual std::string manufacturer() const = 0;
    virtual std::string model() const = 0;
    virtual std::int64_t timeZoneOffset() const = 0;
};

}  // namespace mvk
