#pragma once

#include <memory>

#include "core/ApplicationLifeCycle.hpp"
#include "core/LifeCycleNotifications.hpp"

namespace mvk {

/// What the logic objects subscribe through. It owns the notification
/// observers, so the life cycle is fed exactly as long as the repository lives.
class LifeCycleRepository final : public LifeCycleRepositoryProtocol {
  public:
    LifeCycleRepository(std::shared_ptr<ApplicationLifeCycle> lifecycle,
                        std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications);

    /// A life cycle fed by `center`'s notifications.
    explicit LifeCycleRepository(
        std::shared_ptr<NotificationCenterProtocol> center = NotificationCenter::defaultCenter());

    void subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) override;
    void unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) override;

  private:
    const std::shared_ptr<ApplicationLifeCycle> lifecycle_;
    const std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications_;
};

}  // namespace mvk
