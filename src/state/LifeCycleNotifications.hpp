#pragma once

#include <array>
#include <memory>

#include "state/LifeCycleSelectorsProtocol.hpp"
#include "platform/NotificationCenter.hpp"

namespace mvk {

/// Observes the application's four life-cycle notifications for as long as it
/// lives and turns each into the same-named call on its target.
class LifeCycleNotifications {
  public:
    explicit LifeCycleNotifications(
        std::shared_ptr<LifeCycleSelectorsProtocol> lifeCycleTarget,
        std::shared_ptr<NotificationCenterProtocol> center = NotificationCenter::defaultCenter());
    /// Once this returns no new notification reaches the target; one being
    /// delivered on another thread keeps the target alive until it is done.
    ~LifeCycleNotifications();

    LifeCycleNotifications(const LifeCycleNotifications&) = delete;
    LifeCycleNotifications& operator=(const LifeCycleNotifications&) = delete;

  private:
    const std::shared_ptr<NotificationCenterProtocol> center_;
    const std::shared_ptr<LifeCycleSelectorsProtocol> lifeCycleTarget_;
    std::array<NotificationCenterProtocol::ObserverId, 4> observers_{};
};

}  // namespace mvk
