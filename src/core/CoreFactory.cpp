#include "core/CoreFactory.hpp"

#include <utility>

#include "storage/ABTestsExperimentRepository.hpp"
#include "storage/ABTestsExperimentStateRepository.hpp"
#include "storage/ABTestsProjectRepository.hpp"
#include "storage/CurrencyAccrualResourcesRepository.hpp"
#include "storage/EventRepository.hpp"
#include "storage/IdentifiersRepository.hpp"
#include "storage/LevelResourcesRepository.hpp"
#include "storage/MessagingCategoryRepository.hpp"
#include "storage/PeopleRepository.hpp"
#include "storage/ProjectRepository.hpp"
#include "storage/RealPaymentRepository.hpp"
#include "storage/ReportsRepository.hpp"
#include "storage/SubscriptionRepository.hpp"
#include "storage/ToolsRepository.hpp"
#include "storage/TutorialRepository.hpp"
#include "storage/UserRepository.hpp"

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
