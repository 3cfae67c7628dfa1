#include "platform/NotificationCenter.hpp"

#include <algorithm>
#include <atomic>

#include "platform/GuardedCall.hpp"

namespace mvk {

struct NotificationCenter::Observer {
    ObserverId id;
    std::string name;
    std::function<void()> block;
    std::atomic<bool> removed{false};
};

const std::shared_ptr<NotificationCenter>& NotificationCenter::defaultCenter() {
    static auto* center =
        new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
    return *center;
}

NotificationCenter::ObserverId NotificationCenter::addObserver(const std::string& name,
                                                               std::function<void()> block) {
    auto observer = std::make_shared<Observer>();
    observer->name = name;
    observer->block = std::move(block);
    std::lock_guard lock(mutex_);
    observer->id = ++lastId_;
    observers_.push_back(observer);
    return observer->id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    std::shared_ptr<Observer> removed;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(observers_.begin(), observers_.end(),
                                  [id](const auto& observer) { return observer->id == id; });
        if (found == observers_.end()) {
            return;
        }
        removed = std::move(*found);
        observers_.erase(found);
        removed->removed = true;
    }
    // A post still holding the observer keeps its block alive until it ends;
    // otherwise the block's captures go here, outside the lock.
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

void NotificationCenter::post(const std::string& name) {
    std::vector<std::shared_ptr<Observer>> snapshot;
    {
        std::lock_guard lock(mutex_);
        for (const auto& observer : observers_) {
            if (observer->name == name) {
                snapshot.push_back(observer);
            }
        }
    }
    const std::string context = "An observer of " + name;
    for (const auto& observer : snapshot) {
        // Removed by an earlier observer of this post, or by another thread:
        // its owner may already be gone.
        if (!observer->removed) {
            callGuarded(context, observer->block);
        }
    }
}

}  // namespace mvk
