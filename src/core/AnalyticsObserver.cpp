#include "core/AnalyticsObserver.hpp"

#include <utility>

#include "platform/GuardedCall.hpp"
#include "platform/QueueManager.hpp"
#include "platform/RunLoop.hpp"

namespace mvk {

AnalyticsObserver::AnalyticsObserver(std::shared_ptr<MainLoopProtocol> mainLoop,
                                     SerialQueue& incomeQueue)
    : mainLoop_(std::move(mainLoop)), incomeQueue_(incomeQueue) {}

std::shared_ptr<AnalyticsObserver> AnalyticsObserver::make() {
    return std::make_shared<AnalyticsObserver>(RunLoop::main(),
                                               QueueManager::incomeQueue().queue());
}

std::shared_ptr<MVKIdentifiersListener> AnalyticsObserver::addIdentifiersListener(
    std::shared_ptr<MVKIdentifiersListener> listener) {
    {
        // The replaced listener is the host's object: it goes to the caller,
        // outside the lock, in case its destructor calls into the library.
        std::lock_guard lock(mutex_);
        std::swap(identifiersListener_, listener);
    }
    incomeQueue_.addOperation([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        std::shared_ptr<LogicBroadcasterProtocol> logic;
        {
            std::lock_guard lock(self->mutex_);
            logic = self->logicBroadcaster_.lock();
        }
        if (logic) {
            logic->forceUpdate();
        }
    });
    return listener;
}

void AnalyticsObserver::addLogicBroadcaster(
    const std::shared_ptr<LogicBroadcasterProtocol>& logicBroadcaster) {
    if (!logicBroadcaster) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        logicBroadcaster_ = logicBroadcaster;
    }
    logicBroadcaster->setOnBackendIdentifiersUpdate(
        [weak = weak_from_this()](std::optional<std::int64_t> morvanixId) {
            if (auto self = weak.lock()) {
                self->deliverIdentifier(morvanixId);
            }
        });
}

void AnalyticsObserver::deliverIdentifier(std::optional<std::int64_t> morvanixId) {
    if (!morvanixId) {
        return;
    }
    std::shared_ptr<MVKIdentifiersListener> listener;
    {
        std::lock_guard lock(mutex_);
        listener = identifiersListener_;
    }
    if (listener) {
        callGuarded("The identifiers listener",
                    [&] { listener->didReceiveMorvanixIdWith(*morvanixId); });
    }
}

std::function<void()> AnalyticsObserver::setInitializationCallBack(std::function<void()> callback) {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        std::swap(initializationCompleteCallback_, callback);
        post = isInitializationFinished_ && initializationCompleteCallback_ && !deliveryPending_;
        deliveryPending_ = deliveryPending_ || post;
    }
    if (post) {
        notifyFinishInitialization();
    }
    return callback;
}

void AnalyticsObserver::finishInitialization() {
    bool post = false;
    {
        std::lock_guard lock(mutex_);
        if (isInitializationFinished_) {
            return;
        }
        isInitializationFinished_ = true;
        post = initializationCompleteCallback_ && !deliveryPending_;
        deliveryPending_ = deliveryPending_ || post;
    }
    if (post) {
        notifyFinishInitialization();
    }
}

bool AnalyticsObserver::isInitializationFinished() const {
    std::lock_guard lock(mutex_);
    return isInitializationFinished_;
}

void AnalyticsObserver::notifyFinishInitialization() {
    mainLoop_->post([weak = weak_from_this()] {
        if (auto self = weak.lock()) {
            self->deliverInitializationComplete();
        }
    });
}

void AnalyticsObserver::deliverInitializationComplete() {
    std::function<void()> callback;
    {
        std::lock_guard lock(mutex_);
        deliveryPending_ = false;
        callback = std::exchange(initializationCompleteCallback_, nullptr);
    }
    if (callback) {
        callGuarded("The initialization complete callback", callback);
    }
}

}  // namespace mvk
