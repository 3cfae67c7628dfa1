#pragma once

#include "device/SDKRepositoryProtocol.hpp"

namespace mvk {

class SDKRepository final : public SDKRepositoryProtocol {
  public:
    explicit SDKRepository(std::shared_ptr<SDKCollectorProtocol> collector);

    std::shared_ptr<SDKCollectorProtocol> collector() const override;
    std::string sdkVersion() const override;
    std::int64_t sdkCodeVersion() const override;

  private:
    const std::shared_ptr<SDKCollectorProtocol> collector_;
};

}  // namespace mvk
