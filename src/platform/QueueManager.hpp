#pragma once

#include <atomic>
#include <string>

#include "platform/SerialQueue.hpp"

namespace mvk {

/// Owns one serial operation queue. The six process-wide instances are made on
/// first use and never destroyed, so their threads outlive every static.
class QueueManager {
  public:
    /// Platform default quality of service.
    static constexpr int defaultQualityOfService = -1;

    QueueManager(std::string name, int maxConcurrentOperationCount = 1,
                 int qualityOfService = defaultQualityOfService);

    SerialQueue& queue() { return queue_; }

    void pause() { queue_.pause(); }
    void resume() { queue_.resume(); }

    std::size_t operationCount() const { return queue_.operationCount(); }
    bool isExecuting() const { return queue_.isExecuting(); }
    int maxConcurrentOperationCount() const { return 1; }
    int qualityOfService() const { return qualityOfService_; }
    void setQualityOfService(int value) { qualityOfService_ = value; }
    bool waitUntilAllOperationsAreFinished() { return queue_.waitUntilAllOperationsAreFinished(); }

    static QueueManager& incomeQueue();
    static QueueManager& networkSerialQueue();
    static QueueManager& configQueue();
    static QueueManager& anticheatQueue();
    static QueueManager& networkFlashQueue();
    static QueueManager& networkMessagingQueue();

  private:
    SerialQueue queue_;
    std::atomic<int> qualityOfService_;
};

}  // namespace mvk
