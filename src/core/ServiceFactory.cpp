#include "core/ServiceFactory.hpp"

#include <utility>

#include "abtest/InvolvedExperimentsService.hpp"
#include "abtest/RemoteConfigService.hpp"
#include "abtest/SuitableExperimentsService.hpp"
#include "abtest/TaskService.hpp"
#include "abtest/UserConfigService.hpp"
#include "analytics/CurrencyAccrualService.hpp"
#include "analytics/EventsService.hpp"
#include "analytics/LevelResourceService.hpp"
#include "analytics/ReportService.hpp"
#include "analytics/Validator.hpp"
#include "messaging/MessagingService.hpp"
#include "people/PeopleService.hpp"
#include "platform/QueueManager.hpp"
#include "platform/Store.hpp"
#include "purchases/AntiCheatService.hpp"
#include "purchases/SubscriptionService.hpp"
#include "state/ActivityService.hpp"
#include "state/ProjectService.hpp"
#include "state/TimerService.hpp"
#include "state/UserService.hpp"

namespace mvk {

ServiceFactory::ServiceFactory(std::shared_ptr<CoreFactoryProtocol> coreFactory,
                               std::shared_ptr<StateManagerProtocol> stateManager,
                               std::shared_ptr<ABTestManagerProtocol> abTestManager,
                               std::shared_ptr<EventControllerProtocol> eventController,
                               ABTestInitalData abTestInitialData,
                               std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache,
                               Scheduling scheduling)
    : coreFactory_(std::move(coreFactory)),
      stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
      eventController_(std::move(eventController)),
      abTestInitialData_(abTestInitialData),
      abTestDefaultParamsCache_(std::move(abTestDefaultParamsCache)),
      scheduling_(std::move(scheduling)) {}

std::shared_ptr<ConfigService> ServiceFactory::configService() {
    if (!configService_) {
        configService_ = std::make_shared<ConfigService>(
            stateManager_, abTestManager_, coreFactory_->projectRepository(),
            coreFactory_->abTestsExperimentRepository(), coreFactory_->backend(),
            QueueManager::incomeQueue().queue(), QueueManager::configQueue().queue(),
            scheduling_.delayedScheduler);
    }
    return configService_;
}

void ServiceFactory::stopServices() {
    if (configService_) {
        configService_->stop();
    }
    if (messagingService_) {
        messagingService_->stop();
    }
    if (reportService_) {
        reportService_->stop();
    }
}

std::shared_ptr<AnalyticsConfigServiceProtocol> ServiceFactory::analyticsAnalyticsConfigService() {
    return configService();
}

std::shared_ptr<ABTestConfigServiceProtocol> ServiceFactory::abTestConfigService() {
    return configService();
}

std::shared_ptr<ProjectServiceProtocol> ServiceFactory::projectService() {
    if (!projectService_) {
        projectService_ = std::make_shared<ProjectService>(
            stateManager_, coreFactory_->projectRepository(), coreFactory_->realPaymentRepository(),
            std::make_shared<Validator>());
    }
    return projectService_;
}

std::shared_ptr<TimerServiceProtocol> ServiceFactory::timerService() {
    if (!timerService_) {
        timerService_ = std::make_shared<TimerService>(stateManager_, scheduling_.mainLoop);
    }
    return timerService_;
}

std::shared_ptr<UserServiceProtocol> ServiceFactory::userService() {
    if (!userService_) {
        userService_ = std::make_shared<UserService>(stateManager_, coreFactory_->userRepository(),
                                                     coreFactory_->tutorialRepository());
    }
    return userService_;
}

std::shared_ptr<ActivityServiceProtocol> ServiceFactory::activityService() {
    if (!activityService_) {
        activityService_ =
            std::make_shared<ActivityService>(stateManager_, coreFactory_->userRepository());
    }
    return activityService_;
}

std::shared_ptr<RemoteConfigServiceProtocol> ServiceFactory::remoteConfigService() {
    if (!remoteConfigService_) {
        remoteConfigService_ = std::make_shared<RemoteConfigService>(
            stateManager_, abTestManager_, coreFactory_->abTestsProjectRepository(),
            coreFactory_->abTestsExperimentRepository(),
            coreFactory_->abTestsExperimentStateRepository());
    }
    return remoteConfigService_;
}

std::shared_ptr<InvolvedExperimentsServiceProtocol> ServiceFactory::involvedExpService() {
    if (!involvedExpService_) {
        involvedExpService_ = std::make_shared<InvolvedExperimentsService>(
            stateManager_, abTestManager_, coreFactory_->abTestsExperimentRepository(),
            coreFactory_->abTestsExperimentStateRepository(), abTestInitialData_);
    }
    return involvedExpService_;
}

std::shared_ptr<UserConfigServiceProtocol> ServiceFactory::userConfigService() {
    if (!userConfigService_) {
        userConfigService_ = std::make_shared<UserConfigService>(
            stateManager_, abTestManager_, coreFactory_->abTestsExperimentRepository(),
            abTestDefaultParamsCache_);
    }
    return userConfigService_;
}

std::shared_ptr<SuitableExperimentsServiceProtocol> ServiceFactory::suitableExpService() {
    if (!suitableExpService_) {
        suitableExpService_ = std::make_shared<SuitableExperimentsService>(
            stateManager_, abTestManager_, coreFactory_->abTestsExperimentRepository(),
            coreFactory_->abTestsExperimentStateRepository());
    }
    return suitableExpService_;
}

std::shared_ptr<TaskServiceProtocol> ServiceFactory::taskService() {
    if (!taskService_) {
        taskService_ = std::make_shared<TaskService>(
            abTestInitialData_, scheduling_.delayedScheduler, QueueManager::incomeQueue().queue());
    }
    return taskService_;
}

std::shared_ptr<EventsServiceProtocol> ServiceFactory::eventsService() {
    if (!eventsService_) {
        eventsService_ = std::make_shared<EventsService>(stateManager_, eventController_,
                                                         coreFactory_->eventRepository());
    }
    return eventsService_;
}

std::shared_ptr<ReportServiceProtocol> ServiceFactory::reportService() {
    if (!reportService_) {
        reportService_ = std::make_shared<ReportService>(
            stateManager_, eventController_, coreFactory_->eventRepository(),
            coreFactory_->reportsRepository(), coreFactory_->backend());
    }
    return reportService_;
}

std::shared_ptr<PeopleServiceProtocol> ServiceFactory::peopleService() {
    if (!peopleService_) {
        peopleService_ =
            std::make_shared<PeopleService>(stateManager_, coreFactory_->peopleRepository());
    }
    return peopleService_;
}

std::shared_ptr<SubscriptionServiceProtocol> ServiceFactory::subscriptionService() {
    if (!subscriptionService_) {
        subscriptionService_ = std::make_shared<SubscriptionService>(
            stateManager_, coreFactory_->subscriptionRepository(), Store::current(),
            QueueManager::incomeQueue().queue(), scheduling_.delayedScheduler);
    }
    return subscriptionService_;
}

std::shared_ptr<CurrencyAccrualServiceProtocol> ServiceFactory::currencyAccrualService() {
    if (!currencyAccrualService_) {
        currencyAccrualService_ = std::make_shared<CurrencyAccrualService>(
            stateManager_, coreFactory_->currencyAccrualResourcesRepository());
    }
    return currencyAccrualService_;
}

std::shared_ptr<LevelResourceServiceProtocol> ServiceFactory::levelResourceService() {
    if (!levelResourceService_) {
        levelResourceService_ = std::make_shared<LevelResourceService>(
            stateManager_, coreFactory_->levelResourcesRepository());
    }
    return levelResourceService_;
}

std::shared_ptr<AntiCheatServiceProctocol> ServiceFactory::antiCheatService() {
    if (!antiCheatService_) {
        antiCheatService_ = std::make_shared<AntiCheatService>(
            stateManager_, coreFactory_->projectRepository(), coreFactory_->backend());
    }
    return antiCheatService_;
}

std::shared_ptr<MessagingServiceProtocol> ServiceFactory::messagingService() {
    if (!messagingService_) {
        messagingService_ = std::make_shared<MessagingService>(
            stateManager_, coreFactory_->projectRepository(),
            coreFactory_->messagingCategoryRepository(), coreFactory_->backend(),
            QueueManager::incomeQueue().queue(), QueueManager::networkMessagingQueue().queue());
    }
    return messagingService_;
}

}  // namespace mvk
