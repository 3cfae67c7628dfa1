#pragma once

#include <memory>

#include "abtest/ABTestDefaultParamsCache.hpp"
#include "abtest/ABTestInitalData.hpp"
#include "abtest/ABTestManagerProtocol.hpp"
#include "analytics/ReportService.hpp"
#include "core/ConfigService.hpp"
#include "core/CoreFactoryProtocol.hpp"
#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/MainLoopProtocol.hpp"
#include "services/EventControllerProtocol.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "state/StateManagerProtocol.hpp"

namespace mvk {

/// Builds each service from the repositories and the shared start-up objects
/// on first request, and keeps it while the factory lives. Nothing keeps the
/// factory after start-up but the core, which stops the services through it
/// when it is destroyed. No lock: the slot test and the build are sound only because every
/// caller runs on the income queue.
class ServiceFactory final : public ServiceFactoryProtocol {
  public:
    /// Where the services' timers and delayed retries run.
    struct Scheduling {
        std::shared_ptr<MainLoopProtocol> mainLoop;
        std::shared_ptr<DelayedSchedulerProtocol> delayedScheduler;
    };

    ServiceFactory(std::shared_ptr<CoreFactoryProtocol> coreFactory,
                   std::shared_ptr<StateManagerProtocol> stateManager,
                   std::shared_ptr<ABTestManagerProtocol> abTestManager,
                   std::shared_ptr<EventControllerProtocol> eventController,
                   ABTestInitalData abTestInitialData,
                   std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache,
                   Scheduling scheduling);

    std::shared_ptr<ProjectServiceProtocol> projectService() override;
    std::shared_ptr<TimerServiceProtocol> timerService() override;
    std::shared_ptr<AnalyticsConfigServiceProtocol> analyticsAnalyticsConfigService() override;
    std::shared_ptr<UserServiceProtocol> userService() override;
    std::shared_ptr<ActivityServiceProtocol> activityService() override;
    std::shared_ptr<ABTestConfigServiceProtocol> abTestConfigService() override;
    std::shared_ptr<RemoteConfigServiceProtocol> remoteConfigService() override;
    std::shared_ptr<InvolvedExperimentsServiceProtocol> involvedExpService() override;
    std::shared_ptr<UserConfigServiceProtocol> userConfigService() override;
    std::shared_ptr<SuitableExperimentsServiceProtocol> suitableExpService() override;
    std::shared_ptr<TaskServiceProtocol> taskService() override;
    std::shared_ptr<EventsServiceProtocol> eventsService() override;
    std::shared_ptr<ReportServiceProtocol> reportService() override;
    std::shared_ptr<PeopleServiceProtocol> peopleService() override;
    /// Over the store the host installed when the service is first asked for.
    std::shared_ptr<SubscriptionServiceProtocol> subscriptionService() override;

    /// Stops the services built so far that send requests, so that answers
    /// still on their way apply nothing, but for the report under way: its
    /// settlement is waited for, within the life-cycle bound. On the income
    /// queue.
    void stopServices();
    std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService() override;
    std::shared_ptr<LevelResourceServiceProtocol> levelResourceService() override;
    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService() override;
    std::shared_ptr<MessagingServiceProtocol> messagingService() override;

    /// The state the services stand on, which a logic built over them reads.
    const std::shared_ptr<StateManagerProtocol>& stateManager() const { return stateManager_; }
    const std::shared_ptr<EventControllerProtocol>& eventController() const {
        return eventController_;
    }
    const ABTestInitalData& abTestInitialData() const { return abTestInitialData_; }
    const std::shared_ptr<ABTestDefaultParamsCache>& abTestDefaultParamsCache() const {
        return abTestDefaultParamsCache_;
    }
    /// The gate the event storage and the report service share; the A/B
    /// logic holds and releases sending through it.
  private:
    /// The one configuration service behind both of its faces.
    std::shared_ptr<ConfigService> configService();

    const std::shared_ptr<CoreFactoryProtocol> coreFactory_;
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ABTestManagerProtocol> abTestManager_;
    const std::shared_ptr<EventControllerProtocol> eventController_;
    const ABTestInitalData abTestInitialData_;
    const std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache_;
    const Scheduling scheduling_;

    std::shared_ptr<ConfigService> configService_;
    std::shared_ptr<ProjectServiceProtocol> projectService_;
    std::shared_ptr<TimerServiceProtocol> timerService_;
    std::shared_ptr<UserServiceProtocol> userService_;
    std::shared_ptr<ActivityServiceProtocol> activityService_;
    std::shared_ptr<RemoteConfigServiceProtocol> remoteConfigService_;
    std::shared_ptr<InvolvedExperimentsServiceProtocol> involvedExpService_;
    std::shared_ptr<UserConfigServiceProtocol> userConfigService_;
    std::shared_ptr<SuitableExperimentsServiceProtocol> suitableExpService_;
    std::shared_ptr<TaskServiceProtocol> taskService_;
    std::shared_ptr<EventsServiceProtocol> eventsService_;
    std::shared_ptr<ReportService> reportService_;
    std::shared_ptr<PeopleServiceProtocol> peopleService_;
    std::shared_ptr<SubscriptionServiceProtocol> subscriptionService_;
    std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService_;
    std::shared_ptr<LevelResourceServiceProtocol> levelResourceService_;
    std::shared_ptr<AntiCheatServiceProctocol> antiCheatService_;
    std::shared_ptr<MessagingServiceProtocol> messagingService_;
};

}  // namespace mvk
