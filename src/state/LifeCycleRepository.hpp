#pragma once

#include <memory>

#include "state/ApplicationLifeCycle.hpp"
#include "state/LifeCycleNotifications.hpp"
#include "state/LifeCycleRepositoryProtocol.hpp"
#include "platform/ApplicationStateProtocol.hpp"

namespace mvk {

/// What the logic objects subscribe through. It owns the notification
/// observers, so the life cycle is fed exactly as long as the repository lives.
class LifeCycleRepository final : public LifeCycleRepositoryProtocol {
  public:
    /// Without an application state the application counts as active.
    LifeCycleRepository(std::shared_ptr<ApplicationLifeCycle> lifecycle,
                        std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications,
                        std::shared_ptr<const ApplicationStateProtocol> application = nullptr);

    /// A life cycle fed by `center`'s notifications, in the state `application` reports.
    explicit LifeCycleRepository(
        std::shared_ptr<NotificationCenterProtocol> center = NotificationCenter::defaultCenter(),
        std::shared_ptr<const ApplicationStateProtocol> application = nullptr);

    void subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) override;
    void unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) override;
    bool isApplicationActive() const override;

  private:
    const std::shared_ptr<ApplicationLifeCycle> lifecycle_;
    const std::unique_ptr<LifeCycleNotifications> lifeCycleNotifications_;
    const std::shared_ptr<const ApplicationStateProtocol> application_;
};

}  // namespace mvk
