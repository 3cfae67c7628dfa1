#include "abtest/TaskService.hpp"

#include "abtest/CustomTimerTask.hpp"

namespace mvk {

TaskService::TaskService(const ABTestInitalData& abTestInitialData,
                         std::shared_ptr<DelayedSchedulerProtocol> scheduler,
                         SerialQueue& incomeQueue)
    : abTestInitialData_(abTestInitialData),
      configTask_(std::make_shared<CustomTimerTask>(abTestInitialData.abConfigWaiting, scheduler,
                                                    incomeQueue)),
      activationTask_(std::make_shared<CustomTimerTask>(abTestInitialData.abGroupWaiting,
                                                        std::move(scheduler), incomeQueue)) {}

}  // namespace mvk
