#pragma once

#include <optional>

#include "device/ApplicationGatewayProtocol.hpp"

namespace mvk {

/// The application record, read on first use and then kept: the host sets the
/// application values before start-up, so a later change belongs to the next run.
///
/// Like the other gateways it is used from the income queue only, so it takes no lock.
class ApplicationGateway final : public ApplicationGatewayProtocol {
  public:
    explicit ApplicationGateway(std::shared_ptr<ApplicationInfoRepositoryProtocol> appRepository);

    std::shared_ptr<ApplicationInfoRepositoryProtocol> applicationRepository() const override;
    ApplicationData applicationData() override;

  private:
    const std::shared_ptr<ApplicationInfoRepositoryProtocol> appRepository_;
    std::optional<ApplicationData> applicationData_;
};

}  // namespace mvk
