#pragma once

#include <memory>

#include "device/DeviceInfoCollectorProtocol.hpp"
#include "platform/DeviceInfoProtocol.hpp"

namespace mvk {

class DeviceInfoCollector final : public DeviceInfoCollectorProtocol {
  public:
    explicit DeviceInfoCollector(std::shared_ptr<const DeviceInfoProtocol> device);

    std::optional<std::string> language() const override;
    std::string country() const override;
    std::string osVersion() const override;
    std::string osName() const override;
    /// Smaller side first, so the text does not depend on the orientation.
    std::optional<std::string> displayResolution() const override;
    std::optional<ScreenSize> nativeScreenBounds() const override;
    std::optional<std::int64_t> screenPpi() const override;
    std::string manufacturer() const override;
    std::string model() const override;
    std::int64_t timeZoneOffset() const override;

  private:
    const std::shared_ptr<const DeviceInfoProtocol> device_;
};

}  // namespace mvk
