#include "state/WeakLifeCycleRef.hpp"

namespace mvk {

WeakLifeCycleRef::WeakLifeCycleRef(const std::shared_ptr<LifeCycleProtocol>& value)
    : value_(value) {}

std::shared_ptr<LifeCycleProtocol> WeakLifeCycleRef::value() const {
    return value_.lock();
}

bool operator==(const WeakLifeCycleRef& lhs, const WeakLifeCycleRef& rhs) {
    // Locking rather than comparing addresses: a new listener may be built
    // where a gone one lived.
    return lhs.value().get() == rhs.value().get();
}

}  // namespace mvk
