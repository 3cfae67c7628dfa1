#pragma once

#include <optional>

#include "device/SDKGatewayProtocol.hpp"

namespace mvk {

/// The SDK record, read on first use and kept for the run. Used from the
/// income queue only.
class SDKGateway final : public SDKGatewayProtocol {
  public:
    explicit SDKGateway(std::shared_ptr<SDKRepositoryProtocol> sdkRepository);

    std::shared_ptr<SDKRepositoryProtocol> sdkRepository() const override;
    SdkData sdkData() override;

  private:
    const std::shared_ptr<SDKRepositoryProtocol> sdkRepository_;
    std::optional<SdkData> sdkData_;
};

}  // namespace mvk
