#include "core/LifeCycleRepository.hpp"

namespace mvk {

LifeCycleRepository::LifeCycleRepository(
    std::shared_ptr<ApplicationLifeCycle> lifecycle,
    std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications)
    : lifecycle_(std::move(lifecycle)),
      lifeCycleNotifications_(std::move(lifeCycleNotifications)) {}

LifeCycleRepository::LifeCycleRepository(std::shared_ptr<NotificationCenterProtocol> center)
    : lifecycle_(std::make_shared<ApplicationLifeCycle>()),
      lifeCycleNotifications_(
          std::make_unique<LifeCycleNotifications>(lifecycle_, std::move(center))) {}

void LifeCycleRepository::subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) {
    lifecycle_->subscibeLifeCycle(listener);
}

void LifeCycleRepository::unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) {
    lifecycle_->unsubscibe(listener);
}

}  // namespace mvk
