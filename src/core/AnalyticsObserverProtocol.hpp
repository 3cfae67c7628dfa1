#pragma once

#include <functional>
#include <memory>

#include "core/LogicBroadcasterProtocol.hpp"
#include "mvk/MVKIdentifiersListener.hpp"

namespace mvk {

/// Carries the core's signals to the host: the backend identifier for the
/// identifiers listener, and the end of start-up.
class AnalyticsObserverProtocol {
  public:
    virtual ~AnalyticsObserverProtocol() = default;

    virtual void addIdentifiersListener(std::shared_ptr<MVKIdentifiersListener> listener) = 0;
    virtual void addLogicBroadcaster(
        const std::shared_ptr<LogicBroadcasterProtocol>& logicBroadcaster) = 0;
    virtual void setInitializationCallBack(std::function<void()> callback) = 0;
    virtual void finishInitialization() = 0;
};

}  // namespace mvk
