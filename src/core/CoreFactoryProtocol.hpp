#pragma once

#include <memory>

#include "abtest/ABTestsExperimentStateRepositoryProtocol.hpp"
#include "abtest/ABTestsProjectRepositoryProtocol.hpp"
#include "backend/BackendProtocol.hpp"
#include "device/PlatformProtocol.hpp"
#include "events/CurrencyAccrualResourcesRepositoryProtocol.hpp"
#include "events/EventRepositoryProtocol.hpp"
#include "events/LevelResourcesRepositoryProtocol.hpp"
#include "purchases/SubscriptionRepositoryProtocol.hpp"
#include "records/ABTestsExperimentRepositoryProtocol.hpp"
#include "records/MessagingCategoryRepositoryProtocol.hpp"
#include "records/PeopleRepositoryProtocol.hpp"
#include "records/ReportsRepositoryProtocol.hpp"
#include "state/IdentifiersRepositoryProtocol.hpp"
#include "state/LifeCycleProtocol.hpp"
#include "state/LifeCycleRepositoryProtocol.hpp"
#include "state/ProjectRepositoryProtocol.hpp"
#include "state/RealPaymentRepositoryProtocol.hpp"
#include "state/ToolsRepositoryProtocol.hpp"
#include "state/TutorialRepositoryProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"
#include "storage/DatabaseProtocol.hpp"

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
