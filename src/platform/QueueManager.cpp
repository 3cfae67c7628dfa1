#include "platform/QueueManager.hpp"

#include "platform/BacklogBound.hpp"

namespace mvk {

QueueManager::QueueManager(std::string name, int /*maxConcurrentOperationCount*/,
                           int qualityOfService)
    : queue_(std::move(name)), qualityOfService_(qualityOfService) {}

// Each queue is leaked on purpose: a joinable thread in a static destructor
// would end the host process at exit.
QueueManager& QueueManager::incomeQueue() {
    static auto* q = [] {
        // Made first, its exit step comes before any group commit's, which
        // only a queue's block can open: the calls it counts as not stored
        // are read before the last writes are committed, never after.
        BacklogBound::incomeQueue();
        return new QueueManager("com.morvanix.incomeQueue");
    }();
    return *q;
}

QueueManager& QueueManager::networkSerialQueue() {
    static auto* q = new QueueManager("com.morvanix.networkQueue");
    return *q;
}

QueueManager& QueueManager::configQueue() {
    static auto* q = new QueueManager("com.morvanix.configQueue");
    return *q;
}

QueueManager& QueueManager::anticheatQueue() {
    static auto* q = new QueueManager("com.morvanix.anticheatQueue");
    return *q;
}

QueueManager& QueueManager::networkFlashQueue() {
    static auto* q = new QueueManager("com.morvanix.networkFlashQueue");
    return *q;
}

QueueManager& QueueManager::networkMessagingQueue() {
    static auto* q = new QueueManager("com.morvanix.networkMessagingQueue");
    return *q;
}

}  // namespace mvk
