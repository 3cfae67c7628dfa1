#pragma once

#include <memory>

#include "state/LifeCycleProtocol.hpp"

namespace mvk {

/// A listener entry that does not keep its listener alive.
class WeakLifeCycleRef {
  public:
    explicit WeakLifeCycleRef(const std::shared_ptr<LifeCycleProtocol>& value);

    /// The listener, or null once it is gone.
    std::shared_ptr<LifeCycleProtocol> value() const;

    /// The same live listener, or both gone.
    friend bool operator==(const WeakLifeCycleRef& lhs, const WeakLifeCycleRef& rhs);

  private:
    std::weak_ptr<LifeCycleProtocol> value_;
};

}  // namespace mvk
