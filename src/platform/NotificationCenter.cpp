#include "platform/NotificationCenter.hpp"

#include <algorithm>
#include <string>
#include <thread>

#include "platform/GuardedCall.hpp"

namespace mvk {

struct NotificationCenter::Observer {
    ObserverId id;
    std::string name;
    std::function<void()> block;
    bool removed = false;
    /// One entry per call under way; a thread appears more than once when the
    /// observer posts what reaches it again.
    std::vector<std::thread::id> callers;
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
    std::function<void()> block;
    {
        std::unique_lock lock(mutex_);
        auto found = std::find_if(observers_.begin(), observers_.end(),
                                  [id](const auto& observer) { return observer->id == id; });
        if (found == observers_.end()) {
            return;
        }
        const auto observer = std::move(*found);
        observers_.erase(found);
        observer->removed = true;
        // A call on this very thread is below us on the stack: waiting for
        // it would never end.
        const auto self = std::this_thread::get_id();
        const auto onlyOurs = [&] {
            return std::all_of(observer->callers.begin(), observer->callers.end(),
                               [self](std::thread::id caller) { return caller == self; });
        };
        callEnded_.wait(lock, onlyOurs);
        if (observer->callers.empty()) {
            block = std::move(observer->block);
        }
    }
    // The block's captures go here, outside the lock; while it still runs on
    // this thread, the post that called it lets it go.
}

std::size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

bool NotificationCenter::beginCall(Observer& observer) {
    std::lock_guard lock(mutex_);
    if (observer.removed) {
        return false;
    }
    observer.callers.push_back(std::this_thread::get_id());
    return true;
}

void NotificationCenter::endCall(Observer& observer) {
    std::lock_guard lock(mutex_);
    auto& callers = observer.callers;
    callers.erase(std::find(callers.begin(), callers.end(), std::this_thread::get_id()));
    // Under the lock: once the remover sees the call ended, the centre's
    // owner may let the centre go.
    if (observer.removed) {
        callEnded_.notify_all();
    }
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
        if (beginCall(*observer)) {
            callGuarded(context, observer->block);
            endCall(*observer);
        }
    }
}

}  // namespace mvk
