#pragma once

#include <atomic>
#include <memory>

#include "state/ActivityServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "state/UserRepositoryProtocol.hpp"

namespace mvk {

/// Keeps sessions on the active user's row. A session goes on while no more
/// than the configuration's `sessionTimeout` passes between the last recorded
/// background time and the next start; its id is the time it started.
///
/// Used on the income queue only.
class ActivityService final : public ActivityServiceProtocol {
  public:
    ActivityService(std::shared_ptr<StateManagerProtocol> stateManager,
                    std::shared_ptr<UserRepositoryProtocol> userRepository);

    bool isActive() const override { return isActive_.load(); }
    void updateLastBackgroundTime() override;
    std::optional<std::int64_t> getSessionId() override;
    std::optional<bool> startActivity() override;
    bool isValidSession() override;
    /// A lost foreground time is logged and answers nothing, but still ends
    /// the activity: left active, no later start could begin a session, and
    /// the application would stay "in the foreground" for good.
    std::optional<std::int64_t> stopActivity() override;

  private:
    /// `now - lastBackgroundTime <= sessionTimeout`, false without a background time.
    bool continuesSession(const User& user, std::int64_t now) const;

    std::atomic<bool> isActive_{false};
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<UserRepositoryProtocol> userRepository_;
};

}  // namespace mvk
