#pragma once

#include <memory>
#include <mutex>

#include "core/AnalyticsObserverProtocol.hpp"
#include "platform/MainLoopProtocol.hpp"
#include "platform/SerialQueue.hpp"

namespace mvk {

/// Between the analytics logic and the host. The host sets its listener and
/// callback from any thread; the logic reports on the income queue. Host code
/// is always called outside the observer's lock and inside a catch-all.
///
/// Hold it in a `std::shared_ptr`: the work it queues and posts holds it
/// weakly and does nothing once it is gone.
class AnalyticsObserver final : public AnalyticsObserverProtocol,
                                public std::enable_shared_from_this<AnalyticsObserver> {
  public:
    /// `incomeQueue` must outlive the observer.
    AnalyticsObserver(std::shared_ptr<MainLoopProtocol> mainLoop, SerialQueue& incomeQueue);

    /// Over the library's main loop and income queue.
    static std::shared_ptr<AnalyticsObserver> make();

    /// Keeps `listener` (replacing any earlier one) and has the logic resend
    /// the current backend identifier, so a new listener hears it at once.
    std::shared_ptr<MVKIdentifiersListener> addIdentifiersListener(
        std::shared_ptr<MVKIdentifiersListener> listener) override;
    /// Called once in start-up. The logic is held weakly.
    void addLogicBroadcaster(
        const std::shared_ptr<LogicBroadcasterProtocol>& logicBroadcaster) override;

    /// Each callback set is posted to the main loop exactly once after start-up
    /// has finished: at once when it already has, else when it does. A callback
    /// replaced before its turn is not called.
    std::function<void()> setInitializationCallBack(std::function<void()> callback) override;
    /// The last step of start-up; later calls change nothing.
    void finishInitialization() override;

    bool isInitializationFinished() const;

  private:
    void notifyFinishInitialization();
    void deliverInitializationComplete();
    void deliverIdentifier(std::optional<std::int64_t> morvanixId);

    const std::shared_ptr<MainLoopProtocol> mainLoop_;
    SerialQueue& incomeQueue_;

    mutable std::mutex mutex_;
    std::shared_ptr<MVKIdentifiersListener> identifiersListener_;
    std::weak_ptr<LogicBroadcasterProtocol> logicBroadcaster_;
    bool isInitializationFinished_ = false;
    std::function<void()> initializationCompleteCallback_;
    /// A delivery is posted and has not run yet: the callback it will take may
    /// still be replaced, but a second post would call it twice.
    bool deliveryPending_ = false;
};

}  // namespace mvk
