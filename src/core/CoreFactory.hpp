#pragma once

#include <memory>

#include "core/CoreFactoryProtocol.hpp"

namespace mvk {

/// Holds the four lower layers of a core and builds each table repository on
/// first use, over the one database, keeping it for the factory's life.
///
/// No lock: the slot test and the build are not atomic, which is sound only
/// because every caller runs on the income queue.
class CoreFactory final : public CoreFactoryProtocol {
  public:
    CoreFactory(std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle,
                std::shared_ptr<BackendProtocol> backend,
                std::shared_ptr<PlatformProtocol> platform,
                std::shared_ptr<DatabaseProtocol> database);

    std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle() const override { return lifeCycle_; }
    std::shared_ptr<BackendProtocol> backend() const override { return backend_; }
    std::shared_ptr<DatabaseProtocol> database() const override { return database_; }
    std::shared_ptr<PlatformProtocol> platform() const override { return platform_; }

    void setLifeCycleListener(const std::shared_ptr<LifeCycleProtocol>& listener) override;

    std::shared_ptr<ProjectRepositoryProtocol> projectRepository() override;
    std::shared_ptr<UserRepositoryProtocol> userRepository() override;
    std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository() override;
    std::shared_ptr<EventRepositoryProtocol> eventRepository() override;
    std::shared_ptr<ReportsRepositoryProtocol> reportsRepository() override;
    std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol> currencyAccrualResourcesRepository()
        override;
    std::shared_ptr<LevelResourcesRepositoryProtocol> levelResourcesRepository() override;
    std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository() override;
    std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository() override;
    std::shared_ptr<PeopleRepositoryProtocol> peopleRepository() override;
    std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository() override;
    std::shared_ptr<ToolsRepositoryProtocol> toolsRepository() override;
    std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository() override;
    std::shared_ptr<ABTestsProjectRepositoryProtocol> abTestsProjectRepository() override;
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository() override;
    std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository()
        override;

  private:
    /// The repository in `slot`, built over the database when the slot is empty.
    template <class Repository, class Slot>
    std::shared_ptr<Slot> lazily(std::shared_ptr<Slot>& slot);

    const std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle_;
    const std::shared_ptr<BackendProtocol> backend_;
    const std::shared_ptr<PlatformProtocol> platform_;
    const std::shared_ptr<DatabaseProtocol> database_;

    std::shared_ptr<ProjectRepositoryProtocol> projectRepository_;
    std::shared_ptr<UserRepositoryProtocol> userRepository_;
    std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository_;
    std::shared_ptr<EventRepositoryProtocol> eventRepository_;
    std::shared_ptr<ReportsRepositoryProtocol> reportsRepository_;
    std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol> currencyAccrualResourcesRepository_;
    std::shared_ptr<LevelResourcesRepositoryProtocol> levelResourcesRepository_;
    std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository_;
    std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository_;
    std::shared_ptr<PeopleRepositoryProtocol> peopleRepository_;
    std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository_;
    std::shared_ptr<ToolsRepositoryProtocol> toolsRepository_;
    std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository_;
    std::shared_ptr<ABTestsProjectRepositoryProtocol> abTestsProjectRepository_;
    std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository_;
    std::shared_ptr<ABTestsExperimentStateRepositoryProtocol> abTestsExperimentStateRepository_;
};

}  // namespace mvk
