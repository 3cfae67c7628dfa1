#include "abtest/ABTestDefaultParamsCache.hpp"

namespace mvk {

ABTestDefaultParamsCache::Defaults ABTestDefaultParamsCache::savedDefaults() const {
    std::lock_guard lock(mutex_);
    return savedDefaults_;
}

void ABTestDefaultParamsCache::setSavedDefaults(Defaults defaults) {
    std::lock_guard lock(mutex_);
    // The old map leaves with the parameter, after the lock is released.
    savedDefaults_.swap(defaults);
}

}  // namespace mvk
