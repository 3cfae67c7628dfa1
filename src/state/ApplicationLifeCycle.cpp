#include "state/ApplicationLifeCycle.hpp"

#include <algorithm>
#include <string>

#include "platform/GuardedCall.hpp"

namespace mvk {

void ApplicationLifeCycle::subscibeLifeCycle(const std::shared_ptr<LifeCycleProtocol>& listener) {
    if (!listener) {
        return;
    }
    WeakLifeCycleRef entry(listener);
    std::lock_guard lock(mutex_);
    if (std::find(listeners_.begin(), listeners_.end(), entry) == listeners_.end()) {
        listeners_.push_back(std::move(entry));
    }
}

void ApplicationLifeCycle::unsubscibe(const std::shared_ptr<LifeCycleProtocol>& listener) {
    if (!listener) {
        return;
    }
    const WeakLifeCycleRef entry(listener);
    std::lock_guard lock(mutex_);
    if (auto found = std::find(listeners_.begin(), listeners_.end(), entry);
        found != listeners_.end()) {
        listeners_.erase(found);
    }
}

void ApplicationLifeCycle::goActive() {
    notify("goActive", &LifeCycleProtocol::goActive);
}

void ApplicationLifeCycle::goInactive() {
    notify("goInactive", &LifeCycleProtocol::goInactive);
}

void ApplicationLifeCycle::goBackground() {
    notify("goBackground", &LifeCycleProtocol::goBackground);
}

void ApplicationLifeCycle::goTerminate() {
    notify("goTerminate", &LifeCycleProtocol::goTerminate);
}

void ApplicationLifeCycle::notify(const char* change, void (LifeCycleProtocol::*call)()) {
    std::vector<WeakLifeCycleRef> snapshot;
    {
        std::lock_guard lock(mutex_);
        snapshot = listeners_;
    }
    const std::string context = std::string("The life-cycle listener's ") + change;
    for (const auto& entry : snapshot) {
        if (auto listener = entry.value()) {
            callGuarded(context, [&] { ((*listener).*call)(); });
        }
    }
}

}  // namespace mvk
