#include "state/LifeCycleNotifications.hpp"

#include "platform/ApplicationNotification.hpp"

namespace mvk {

LifeCycleNotifications::LifeCycleNotifications(
    std::shared_ptr<LifeCycleSelectorsProtocol> lifeCycleTarget,
    std::shared_ptr<NotificationCenterProtocol> center)
    : center_(std::move(center)), lifeCycleTarget_(std::move(lifeCycleTarget)) {
    using Selector = void (LifeCycleSelectorsProtocol::*)();
    const std::pair<const char*, Selector> routes[] = {
        {ApplicationNotification::didBecomeActive, &LifeCycleSelectorsProtocol::goActive},
        {ApplicationNotification::willResignActive, &LifeCycleSelectorsProtocol::goInactive},
        {ApplicationNotification::didEnterBackground, &LifeCycleSelectorsProtocol::goBackground},
        {ApplicationNotification::willTerminate, &LifeCycleSelectorsProtocol::goTerminate},
    };
    const std::weak_ptr<LifeCycleSelectorsProtocol> target = lifeCycleTarget_;
    for (std::size_t i = 0; i < observers_.size(); ++i) {
        const auto selector = routes[i].second;
        observers_[i] = center_->addObserver(routes[i].first, [target, selector] {
            if (auto alive = target.lock()) {
                ((*alive).*selector)();
            }
        });
    }
}

LifeCycleNotifications::~LifeCycleNotifications() {
    for (const auto observer : observers_) {
        center_->removeObserver(observer);
    }
}

}  // namespace mvk
