#pragma once

#include <mutex>
#include <vector>

#include "state/LifeCycleProtocol.hpp"
#include "state/LifeCycleSelectorsProtocol.hpp"
#include "state/WeakLifeCycleRef.hpp"

namespace mvk {

/// Fans each life-cycle change out to the listeners, in the order they
/// subscribed, synchronously on the reporting thread.
///
/// A fan-out calls the listeners of the list as it was when the change came
/// in, with no lock held, so a listener may subscribe or unsubscribe (itself
/// or others) while it is called; that takes effect from the next change.
/// Listeners that are gone are skipped and stay in the list.
class ApplicationLifeCycle final : public LifeCycleSelectorsProtocol {
  public:
    /// A listener already in the list keeps its place.
    void subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener);
    void unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener);

    void goActive() override;
    void goInactive() override;
    void goBackground() override;
    void goTerminate() override;

  private:
    void notify(const char* change, void (LifeCycleProtocol::*call)());

    std::mutex mutex_;
    std::vector<WeakLifeCycleRef> listeners_;
};

}  // namespace mvk
