#pragma once

#include <memory>

#include "state/LifeCycleProtocol.hpp"

namespace mvk {

/// Where logic objects subscribe to the life cycle. Listeners are held weakly:
/// subscribing does not keep a listener alive.
class LifeCycleRepositoryProtocol {
  public:
    virtual ~LifeCycleRepositoryProtocol() = default;

    virtual void subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) = 0;
    virtual void unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) = 0;
    /// Whether the application is in the foreground and takes input now. A
    /// start-up reads it after subscribing, so a change it misses here still
    /// reaches the listener.
    virtual bool isApplicationActive() const = 0;
};

}  // namespace mvk
