#pragma once

#include <memory>

#include "services/InvolvedExperimentsServiceProtocol.hpp"
#include "services/RemoteConfigServiceProtocol.hpp"
#include "services/SuitableExperimentsServiceProtocol.hpp"
#include "services/TaskServiceProtocol.hpp"
#include "services/UserConfigServiceProtocol.hpp"
#include "services/CurrencyAccrualServiceProtocol.hpp"
#include "services/EventsServiceProtocol.hpp"
#include "services/LevelResourceServiceProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "services/ABTestConfigServiceProtocol.hpp"
#include "state/ActivityServiceProtocol.hpp"
#include "services/AnalyticsConfigServiceProtocol.hpp"
#include "state/ProjectServiceProtocol.hpp"
#include "state/TimerServiceProtocol.hpp"
#include "state/UserServiceProtocol.hpp"
#include "services/MessagingServiceProtocol.hpp"
#include "services/PeopleServiceProtocol.hpp"
#include "services/AntiCheatServiceProctocol.hpp"
#include "services/SubscriptionServiceProtocol.hpp"

namespace mvk {

/// Where the logic objects take their services while start-up builds them.
/// Each service is built on first request and then handed out again, so every
/// logic object shares the same instance. Used on the income queue only.
class ServiceFactoryProtocol {
  public:
    virtual ~ServiceFactoryProtocol() = default;

    virtual std::shared_ptr<ProjectServiceProtocol> projectService() = 0;
    virtual std::shared_ptr<TimerServiceProtocol> timerService() = 0;
    virtual std::shared_ptr<AnalyticsConfigServiceProtocol> analyticsAnalyticsConfigService() = 0;
    virtual std::shared_ptr<UserServiceProtocol> userService() = 0;
    virtual std::shared_ptr<ActivityServiceProtocol> activityService() = 0;
    /// The same object as `analyticsAnalyticsConfigService`, behind its A/B face.
    virtual std::shared_ptr<ABTestConfigServiceProtocol> abTestConfigService() = 0;
    virtual std::shared_ptr<RemoteConfigServiceProtocol> remoteConfigService() = 0;
    virtual std::shared_ptr<InvolvedExperimentsServiceProtocol> involvedExpService() = 0;
    virtual std::shared_ptr<UserConfigServiceProtocol> userConfigService() = 0;
    virtual std::shared_ptr<SuitableExperimentsServiceProtocol> suitableExpService() = 0;
    virtual std::shared_ptr<TaskServiceProtocol> taskService() = 0;
    /// The event storage and the report service share one event repository.
    virtual std::shared_ptr<EventsServiceProtocol> eventsService() = 0;
    virtual std::shared_ptr<ReportServiceProtocol> reportService() = 0;
    virtual std::shared_ptr<PeopleServiceProtocol> peopleService() = 0;
    virtual std::shared_ptr<SubscriptionServiceProtocol> subscriptionService() = 0;
    virtual std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService() = 0;
    virtual std::shared_ptr<LevelResourceServiceProtocol> levelResourceService() = 0;
    /// The receipt verification the analytics logic and the receipt logic share.
    virtual std::shared_ptr<AntiCheatServiceProctocol> antiCheatService() = 0;
    virtual std::shared_ptr<MessagingServiceProtocol> messagingService() = 0;
};

}  // namespace mvk
