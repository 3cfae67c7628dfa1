#pragma once

#include <memory>

#include "abtest/ABTestInitalData.hpp"
#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/SerialQueue.hpp"
#include "services/TaskServiceProtocol.hpp"

namespace mvk {

class TaskService final : public TaskServiceProtocol {
  public:
    /// `configTask` waits `abConfigWaiting` seconds, `activationTask`
    /// `abGroupWaiting`; both expire onto `incomeQueue`.
    TaskService(const ABTestInitalData& abTestInitialData,
                std::shared_ptr<DelayedSchedulerProtocol> scheduler, SerialQueue& incomeQueue);

    std::shared_ptr<CustomTimerTaskProtocol> configTask() const override { return configTask_; }
    void setConfigTask(std::shared_ptr<CustomTimerTaskProtocol> task) override {
        configTask_ = std::move(task);
    }
    std::shared_ptr<CustomTimerTaskProtocol> activationTask() const override {
        return activationTask_;
    }
    void setActivationTask(std::shared_ptr<CustomTimerTaskProtocol> task) override {
        activationTask_ = std::move(task);
    }

  private:
    const ABTestInitalData abTestInitialData_;
    std::shared_ptr<CustomTimerTaskProtocol> configTask_;
    std::shared_ptr<CustomTimerTaskProtocol> activationTask_;
};

}  // namespace mvk
