#include "state/LifeCycleRepository.hpp"

namespace mvk {

LifeCycleRepository::LifeCycleRepository(
    std::shared_ptr<ApplicationLifeCycle> lifecycle,
    std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications,
    std::shared_ptr<const ApplicationStateProtocol> application)
    : lifecycle_(std::move(lifecycle)),
      lifeCycleNotifications_(std::move(lifeCycleNotifications)),
      application_(std::move(application)) {}

LifeCycleRepository::LifeCycleRepository(
    std::shared_ptr<NotificationCenterProtocol> center,
    std::shared_ptr<const ApplicationStateProtocol> application)
    : lifecycle_(std::make_shared<ApplicationLifeCycle>()),
      lifeCycleNotifications_(
          std::make_unique<LifeCycleNotifications>(lifecycle_, std::move(center))),
      application_(std::move(application)) {}

void LifeCycleRepository::subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) {
    lifecycle_->subscibeLifeCycle(listener);
}

void LifeCycleRepository::unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) {
    lifecycle_->unsubscibe(listener);
}

bool LifeCycleRepository::isApplicationActive() const {
    return !application_ || application_->applicationState() == ApplicationState::active;
}

}  // namespace mvk
