#pragma once

#include <memory>
#include <string>
#include <thread>

#include "platform/ScheduledLoop.hpp"

namespace mvk {

/// A thread of its own that runs posted blocks, repeating timers and delayed
/// blocks in the order they fall due on the process clock (`Clock`). The
/// library keeps two: `main()`, where the life-cycle timers live, and
/// `delayedScheduler()`, which must keep firing while the main thread is blocked.
class RunLoop final : public ScheduledLoop {
  public:
    explicit RunLoop(std::string name);
    /// Drops work not yet begun and stops the thread.
    ~RunLoop() override;

    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    /// Made on first use and never destroyed.
    static const std::shared_ptr<RunLoop>& main();
    static const std::shared_ptr<RunLoop>& delayedScheduler();

    const std::string& name() const { return name_; }

    bool isCurrent() const override;

  private:
    void run();

    const std::string name_;
    std::thread thread_;
};

}  // namespace mvk
