#pragma once

#include "device/ApplicationInfoRepositoryProtocol.hpp"

namespace mvk {

class ApplicationInfoRepository final : public ApplicationInfoRepositoryProtocol {
  public:
    explicit ApplicationInfoRepository(std::shared_ptr<ApplicationCollectorProtocol> collector);

    std::shared_ptr<ApplicationCollectorProtocol> collector() const override;
    std::string applicationVersion() const override;
    std::string applicationBuildVersion() const override;
    std::string applicationBundle() const override;
    std::int64_t sandboxState() const override;

  private:
    const std::shared_ptr<ApplicationCollectorProtocol> collector_;
};

}  // namespace mvk
