#include "mvk/MVKRemoteConfigCollection.hpp"

#include "foundation/Utf8.hpp"

namespace mvk {

MVKRemoteConfigCollection::MVKRemoteConfigCollection(MVKRemoteConfigAccess) {}

bool MVKRemoteConfigCollection::hasKey(const std::string& key) const noexcept {
    try {
        const auto clean = Utf8::sanitized(key);
        std::lock_guard lock(mutex_);
        return configData_.contains(clean);
    } catch (...) {
        return false;
    }
}

std::shared_ptr<MVKRemoteConfigValue> MVKRemoteConfigCollection::operator[](
    const std::string& key) const noexcept {
    try {
        const auto clean = Utf8::sanitized(key);
        {
            std::lock_guard lock(mutex_);
            if (auto found = configData_.find(clean); found != configData_.end()) {
                return found->second;
            }
        }
        return std::make_shared<MVKRemoteConfigValue>(MVKRemoteConfigAccess{}, std::string(),
                                                      MVKRemoteConfigSource::empty);
    } catch (...) {
        return nullptr;
    }
}

void MVKRemoteConfigCollection::set(const std::string& key,
                                    std::shared_ptr<MVKRemoteConfigValue> value) noexcept {
    if (!value) {
        return;
    }
    try {
        auto clean = Utf8::sanitized(key);
        std::lock_guard lock(mutex_);
        configData_[std::move(clean)] = std::move(value);
    } catch (...) {
    }
}

MVKRemoteConfigCollection::Values MVKRemoteConfigCollection::getRawConfig() const noexcept {
    try {
        std::lock_guard lock(mutex_);
        return configData_;
    } catch (...) {
        return {};
    }
}

void MVKRemoteConfigCollection::replace(MVKRemoteConfigAccess, Values values) {
    std::lock_guard lock(mutex_);
    configData_.swap(values);
}

}  // namespace mvk
