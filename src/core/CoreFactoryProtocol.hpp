#pragma once

#include <memory>

#include "backend/BackendProtocol.hpp"
#include "core/LifeCycleProtocol.hpp"
#include "core/LifeCycleRepositoryProtocol.hpp"
#include "core/PlatformProtocol.hpp"
#include "storage/ABTestsExperimentRepositoryProtocol.hpp"
#include "storage/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "storage/ABTestsProjectRepositoryProtocol.hpp"
#include "storage/CurrencyAccrualResourcesRepositoryProtocol.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/EventRepositoryProtocol.hpp"
#include "storage/IdentifiersRepositoryProtocol.hpp"
#include "storage/LevelResourcesRepositoryProtocol.hpp"
#include "storage/MessagingCategoryRepositoryProtocol.hpp"
#include "storage/PeopleRepositoryProtocol.hpp"
#include "storage/ProjectRepositoryProtocol.hpp"
#include "storage/RealPaymentRepositoryProtocol.hpp"
#include "storage/ReportsRepositoryProtocol.hpp"
#include "storage/SubscriptionRepositoryProtocol.hpp"
#include "storage/ToolsRepositoryProtocol.hpp"
#include "storage/TutorialRepositoryProtocol.hpp"
#include "storage/UserRepositoryProtocol.hpp"

namespace mvk {

/// The lower layers of one core (life cycle, backend, platform, database) and
/// the table repositories over its database. Each repository is built on
/// first use and then kept, so every service that asks for it shares one row
/// cache. Used on the income queue only: it takes no lock.
class CoreFactoryProtocol {
  public:
    virtual ~CoreFactoryProtocol() = default;

    virtual std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle() const = 0;
    virtual std::shared_ptr<BackendProtocol> backend() const = 0;
    virtual std::shared_ptr<DatabaseProtocol> database() const = 0;
    virtual std::shared_ptr<PlatformProtocol> platform() const = 0;

    /// Subscribes `listener` (held weakly) to the application life cycle.
    virtual void setLifeCycleListener(const std::shared_ptr<LifeCycleProtocol>& listener) = 0;

    virtual std::shared_ptr<ProjectRepositoryProtocol> projectRepository() = 0;
    virtual std::shared_ptr<UserRepositoryProtocol> userRepository() = 0;
    virtual std::shared_ptr<IdentifiersRepositoryProtocol> identifiersRepository() = 0;
    virtual std::shared_ptr<EventRepositoryProtocol> eventRepository() = 0;
    virtual std::shared_ptr<ReportsRepositoryProtocol> reportsRepository() = 0;
    virtual std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol>
    currencyAccrualResourcesRepository() = 0;
    virtual std::shared_ptr<LevelResourcesRepositoryProtocol> levelResourcesRepository() = 0;
    virtual std::shared_ptr<RealPaymentRepositoryProtocol> realPaymentRepository() = 0;
    virtual std::shared_ptr<TutorialRepositoryProtocol> tutorialRepository() = 0;
    virtual std::shared_ptr<PeopleRepositoryProtocol> peopleRepository() = 0;
    virtual std::shared_ptr<MessagingCategoryRepositoryProtocol> messagingCategoryRepository() = 0;
    virtual std::shared_ptr<ToolsRepositoryProtocol> toolsRepository() = 0;
    virtual std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository() = 0;
    virtual std::shared_ptr<ABTestsProjectRepositoryProtocol> abTestsProjectRepository() = 0;
    virtual std::shared_ptr<ABTestsExperimentRepositoryProtocol> abTestsExperimentRepository() = 0;
    virtual std::shared_ptr<ABTestsExperimentStateRepositoryProtocol>
    abTestsExperimentStateRepository() = 0;
};

}  // namespace mvk
