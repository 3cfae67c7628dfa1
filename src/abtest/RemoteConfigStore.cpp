#include "abtest/RemoteConfigStore.hpp"

#include <mutex>

namespace mvk {

RemoteConfigStore& RemoteConfigStore::shared() {
    // Never destroyed: host threads may read the collection while the process
    // exits.
    static auto* store = new RemoteConfigStore();
    return *store;
}

RemoteConfigStore::RemoteConfigStore()
    : localConfig_(std::make_shared<MVKRemoteConfigCollection>(MVKRemoteConfigAccess{})) {}

MVKRemoteConfigParameters RemoteConfigStore::defaults() const {
    std::shared_lock lock(mutex_);
    return defaultFields_;
}

void RemoteConfigStore::prepareDefaultConfig() {
    MVKRemoteConfigCollection::Values values;
    for (const auto& [key, value] : defaultFields_) {
        values.emplace(key, std::make_shared<MVKRemoteConfigValue>(
                                MVKRemoteConfigAccess{}, value, MVKRemoteConfigSource::defaults));
    }
    localConfig_->replace(MVKRemoteConfigAccess{}, std::move(values));
}

void RemoteConfigStore::setDefaults(MVKRemoteConfigParameters defaults) {
    std::unique_lock lock(mutex_);
    defaultFields_ = std::move(defaults);
    prepareDefaultConfig();
}

bool RemoteConfigStore::apply(const MVKRemoteConfigParameters& config) {
    std::unique_lock lock(mutex_);
    if (config.empty()) {
        prepareDefaultConfig();
        return false;
    }
    const auto current = localConfig_->getRawConfig();
    for (const auto& [key, value] : config) {
        if (auto found = current.find(key); found != current.end()) {
            found->second->update(MVKRemoteConfigAccess{}, value, MVKRemoteConfigSource::remote);
        }
    }
    return true;
}

void RemoteConfigStore::reset() {
    std::unique_lock lock(mutex_);
    prepareDefaultConfig();
}

void RemoteConfigStore::seed(ABTestDefaultParamsCache& cache) const {
    std::shared_lock lock(mutex_);
    cache.setSavedDefaults(defaultFields_);
}

void RemoteConfigStore::resetForTesting() {
    std::unique_lock lock(mutex_);
    defaultFields_.clear();
    localConfig_->replace(MVKRemoteConfigAccess{}, {});
}

}  // namespace mvk
