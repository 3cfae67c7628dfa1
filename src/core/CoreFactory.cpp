#include "core/CoreFactory.hpp"

#include <utility>

#include "abtest/ABTestsExperimentStateRepository.hpp"
#include "abtest/ABTestsProjectRepository.hpp"
#include "events/CurrencyAccrualResourcesRepository.hpp"
#include "events/EventRepository.hpp"
#include "events/LevelResourcesRepository.hpp"
#include "purchases/SubscriptionRepository.hpp"
#include "records/ABTestsExperimentRepository.hpp"
#include "records/MessagingCategoryRepository.hpp"
#include "records/PeopleRepository.hpp"
#include "records/ReportsRepository.hpp"
#include "state/IdentifiersRepository.hpp"
#include "state/ProjectRepository.hpp"
#include "state/RealPaymentRepository.hpp"
#include "state/ToolsRepository.hpp"
#include "state/TutorialRepository.hpp"
#include "state/UserRepository.hpp"

namespace mvk {

CoreFactory::CoreFactory(std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle,
                         std::shared_ptr<BackendProtocol> backend,
                         std::shared_ptr<PlatformProtocol> platform,
                         std::shared_ptr<DatabaseProtocol> database)
    : lifeCycle_(std::move(lifeCycle)),
      backend_(std::move(backend)),
      platform_(std::move(platform)),
      database_(std::move(database)) {}

void CoreFactory::setLifeCycleListener(const std::shared_ptr<LifeCycleProtocol>& listener) {
    if (lifeCycle_ && listener) {
        lifeCycle_->subscibeLifeCycle(listener);
    }
}

template <class Repository, class Slot>
std::shared_ptr<Slot> CoreFactory::lazily(std::shared_ptr<Slot>& slot) {
    if (!slot) {
        slot = std::make_shared<Repository>(database_);
    }
    return slot;
}

std::shared_ptr<ProjectRepositoryProtocol> CoreFactory::projectRepository() {
    return lazily<ProjectRepository>(projectRepository_);
}

std::shared_ptr<UserRepositoryProtocol> CoreFactory::userRepository() {
    return lazily<UserRepository>(userRepository_);
}

std::shared_ptr<IdentifiersRepositoryProtocol> CoreFactory::identifiersRepository() {
    return lazily<IdentifiersRepository>(identifiersRepository_);
}

std::shared_ptr<EventRepositoryProtocol> CoreFactory::eventRepository() {
    return lazily<EventRepository>(eventRepository_);
}

std::shared_ptr<ReportsRepositoryProtocol> CoreFactory::reportsRepository() {
    return lazily<ReportsRepository>(reportsRepository_);
}

std::shared_ptr<CurrencyAccrualResourcesRepositoryProtocol>
CoreFactory::currencyAccrualResourcesRepository() {
    return lazily<CurrencyAccrualResourcesRepository>(currencyAccrualResourcesRepository_);
}

std::shared_ptr<LevelResourcesRepositoryProtocol> CoreFactory::levelResourcesRepository() {
    return lazily<LevelResourcesRepository>(levelResourcesRepository_);
}

std::shared_ptr<RealPaymentRepositoryProtocol> CoreFactory::realPaymentRepository() {
    return lazily<RealPaymentRepository>(realPaymentRepository_);
}

std::shared_ptr<TutorialRepositoryProtocol> CoreFactory::tutorialRepository() {
    return lazily<TutorialRepository>(tutorialRepository_);
}

std::shared_ptr<PeopleRepositoryProtocol> CoreFactory::peopleRepository() {
    return lazily<PeopleRepository>(peopleRepository_);
}

std::shared_ptr<MessagingCategoryRepositoryProtocol> CoreFactory::messagingCategoryRepository() {
    return lazily<MessagingCategoryRepository>(messagingCategoryRepository_);
}

std::shared_ptr<ToolsRepositoryProtocol> CoreFactory::toolsRepository() {
    return lazily<ToolsRepository>(toolsRepository_);
}

std::shared_ptr<SubscriptionRepositoryProtocol> CoreFactory::subscriptionRepository() {
    return lazily<SubscriptionRepository>(subscriptionRepository_);
}

std::shared_ptr<ABTestsProjectRepositoryProtocol> CoreFactory::abTestsProjectRepository() {
    return lazily<ABTestsProjectRepository>(abTestsProjectRepository_);
}

std::shared_ptr<ABTestsExperimentRepositoryProtocol> CoreFactory::abTestsExperimentRepository() {
    return lazily<ABTestsExperimentRepository>(abTestsExperimentRepository_);
}

std::shared_ptr<ABTestsExperimentStateRepositoryProtocol>
CoreFactory::abTestsExperimentStateRepository() {
    return lazily<ABTestsExperimentStateRepository>(abTestsExperimentStateRepository_);
}

}  // namespace mvk
