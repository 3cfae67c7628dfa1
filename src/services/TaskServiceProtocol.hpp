#pragma once

#include <memory>

#include "records/CustomTimerTaskProtocol.hpp"

namespace mvk {

/// The A/B logic's two waits: for the experiments configuration at start, and
/// for the gateway's offer or the host's apply of an offered group.
class TaskServiceProtocol {
  public:
    virtual ~TaskServiceProtocol() = default;

    virtual std::shared_ptr<CustomTimerTaskProtocol> configTask() const = 0;
    virtual void setConfigTask(std::shared_ptr<CustomTimerTaskProtocol> task) = 0;
    virtual std::shared_ptr<CustomTimerTaskProtocol> activationTask() const = 0;
    virtual void setActivationTask(std::shared_ptr<CustomTimerTaskProtocol> task) = 0;
};

}  // namespace mvk
