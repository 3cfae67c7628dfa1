#pragma once

#include <memory>

#include "state/ValidatorSettingsProtocol.hpp"
#include "state/ProjectServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/RealPaymentRepositoryProtocol.hpp"

namespace mvk {

/// The active project as the logic objects see it. Used on the income queue only.
class ProjectService final : public ProjectServiceProtocol {
  public:
    static constexpr std::int64_t defaultNumberOfCurrencies = 1000;
    static constexpr std::int64_t defaultUserCardKeysCount = 60;

    /// `validator` receives `updateValidator`'s settings; without one that
    /// call does nothing.
    ProjectService(std::shared_ptr<StateManagerProtocol> stateManager,
                   std::shared_ptr<ProjectRepositoryProtocol> projectRepository,
                   std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository,
                   std::shared_ptr<ValidatorSettingsProtocol> validator = nullptr);

    bool userCounting() override;
    bool isRefererSent() override;
    void setIsRefererSent(bool isSent) override;
    std::int64_t paramsCount() override;
    MarkLookup isCurrencyPaymentMarked(const std::string& orderId) override;
    bool markCurrencyPayment(const std::string& orderId) override;
    void setTrackingAvailable(bool isAvailable) override;
    bool getTrackingAvailable() override;
    ApplicationData getAppData() override { return stateManager_->getAppData(); }
    SdkData getSdkData() override { return stateManager_->getSdkData(); }
    IdentifierData getIdentifiersData() override { return stateManager_->getIdentifiersData(); }
    DeviceData getDeviceData() override { return stateManager_->getDeviceData(); }
    std::shared_ptr<DeviceIdentifiers> getDeviceIdentifiers() override {
        return stateManager_->getActiveDeviceIdentifiers();
    }
    /// Every field comes from `config` but two: the stored exclusions stay
    /// while the exclude `version` is unchanged (or neither has one), and the
    /// stored subscription bundles while `sbsConfigVersion` is.
    void applyConfig(const Config& config) override;
    bool checkIfNeedRemoveUsersData() override;
    void updateValidator() override;
    std::int64_t getNumberOfCurrencies() override;
    std::int64_t getUserCardKeysCount() override;

  private:
    const Config& configuration() const;

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    const std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository_;
    const std::shared_ptr<ValidatorSettingsProtocol> validator_;
};

}  // namespace mvk
