#include "core/ServiceFactory.hpp"

#include <utility>

#include "analytics/CurrencyAccrualService.hpp"
#include "analytics/LevelResourceService.hpp"
#include "analytics/Validator.hpp"
#include "core/ActivityService.hpp"
#include "core/ProjectService.hpp"
#include "core/TimerService.hpp"
#include "core/UserService.hpp"
#include "foundation/QueueManager.hpp"

namespace mvk {

ServiceFactory::ServiceFactory(std::shared_ptr<CoreFactoryProtocol> coreFactory,
                               std::shared_ptr<StateManagerProtocol> stateManager,
                               std::shared_ptr<ABTestManagerProtocol> abTestManager,
                               ABTestInitalData abTestInitialData,
                               std::shared_ptr<ABTestDefaultParamsCache> abTestDefaultParamsCache,
                               Scheduling scheduling)
    : coreFactory_(std::move(coreFactory)),
      stateManager_(std::move(stateManager)),
      abTestManager_(std::move(abTestManager)),
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

}  // namespace mvk
