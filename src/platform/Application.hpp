#pragma once

#include <atomic>
#include <memory>

#include "platform/ApplicationStateProtocol.hpp"
#include "platform/NotificationCenterProtocol.hpp"

namespace mvk {

/// The host application's life cycle as the host reports it. Each report sets
/// the state and posts its notification on the caller's thread; "did" reports
/// change the state before posting, "will" reports after, so observers see the
/// state the name describes. The state is active until the host says otherwise.
class Application final : public ApplicationStateProtocol {
  public:
    explicit Application(std::shared_ptr<NotificationCenterProtocol> center);

    /// Posts to `NotificationCenter::defaultCenter()`; never destroyed.
    static const std::shared_ptr<Application>& shared();

    ApplicationState applicationState() const override;

    void didBecomeActive();
    void willResignActive();
    void didEnterBackground();
    void willTerminate();

  private:
    const std::shared_ptr<NotificationCenterProtocol> center_;
    std::atomic<ApplicationState> state_{ApplicationState::active};
};

}  // namespace mvk
