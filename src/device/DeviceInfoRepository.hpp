#pragma once

#include "device/DeviceInfoRepositoryProtocol.hpp"

namespace mvk {

/// Passes the collector's values on and derives the screen's density and size.
class DeviceInfoRepository final : public DeviceInfoRepositoryProtocol {
  public:
    explicit DeviceInfoRepository(std::shared_ptr<DeviceInfoCollectorProtocol> collector);

    std::shared_ptr<DeviceInfoCollectorProtocol> collector() const override;
    std::optional<std::string> language() const override;
    std::string country() const override;
    std::string osVersion() const override;
    std::string osName() const override;
    /// What the host reported, else what the model identifier is known to have.
    std::optional<std::int64_t> displayPpi() const override;
    std::optional<std::string> displayResolution() const override;
    /// Inches; nothing without a screen size or a density.
    std::optional<double> displayDiagonal() const override;
    std::string manufacturer() const override;
    std::string model() const override;
    std::int64_t timeZoneOffset() const override;

  private:
    const std::shared_ptr<DeviceInfoCollectorProtocol> collector_;
};

}  // namespace mvk
