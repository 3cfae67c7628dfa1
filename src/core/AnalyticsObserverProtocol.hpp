#pragma once

#include <functional>
#include <memory>

#include "mvk/MVKIdentifiersListener.hpp"
#include "state/LogicBroadcasterProtocol.hpp"

namespace mvk {

/// Carries the core's signals to the host: the backend identifier for the
/// identifiers listener, and the end of start-up.
class AnalyticsObserverProtocol {
  public:
    virtual ~AnalyticsObserverProtocol() = default;

    /// Answers the replaced listener, for the caller to release outside its
    /// locks: the host's object may call into the library as it goes.
    virtual std::shared_ptr<MVKIdentifiersListener> addIdentifiersListener(
        std::shared_ptr<MVKIdentifiersListener> listener) = 0;
    virtual void addLogicBroadcaster(
        const std::shared_ptr<LogicBroadcasterProtocol>& logicBroadcaster) = 0;
    /// Answers the replaced callback, for the same reason.
    virtual std::function<void()> setInitializationCallBack(std::function<void()> callback) = 0;
    virtual void finishInitialization() = 0;
};

}  // namespace mvk
