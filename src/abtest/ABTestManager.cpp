#include "abtest/ABTestManager.hpp"

#include <utility>

namespace mvk {

std::optional<std::int64_t> ABTestManager::configVersion() const {
    std::lock_guard lock(mutex_);
    return configVersion_;
}

void ABTestManager::setConfigVersion(std::optional<std::int64_t> version) {
    std::lock_guard lock(mutex_);
    configVersion_ = version;
}

std::vector<std::int64_t> ABTestManager::suitableExperiments() const {
    std::lock_guard lock(mutex_);
    return suitableExperiments_;
}

void ABTestManager::setSuitableExperiments(std::vector<std::int64_t> experiments) {
    std::lock_guard lock(mutex_);
    suitableExperiments_ = std::move(experiments);
}

MVKRemoteConfigParameters ABTestManager::config() const {
    std::lock_guard lock(mutex_);
    return config_;
}

void ABTestManager::setConfig(MVKRemoteConfigParameters config) {
    std::lock_guard lock(mutex_);
    // The old map leaves with the parameter, after the lock is released.
    std::swap(config_, config);
}

}  // namespace mvk
