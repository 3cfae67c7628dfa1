#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "foundation/Logger.hpp"
#include "foundation/QueueManager.hpp"
#include "platform/SerialQueue.hpp"

namespace mvk {

/// The call frame shared by the proxies that stand between the public calls
/// and a logic object: the logic is installed once start-up has built it, and
/// every call runs as one block on the income queue, in call order.
///
/// The host may read the installed logic from its own thread while start-up
/// installs it on the income queue, hence the lock. Queued blocks hold the
/// slot weakly, so a proxy that is gone takes its logic with it and the
/// blocks still waiting do nothing.
template <typename Logic>
class LogicProxyBase {
  public:
    explicit LogicProxyBase(SerialQueue& queue = QueueManager::incomeQueue().queue())
        : queue_(queue), slot_(std::make_shared<Slot>()) {}

    LogicProxyBase(const LogicProxyBase&) = delete;
    LogicProxyBase& operator=(const LogicProxyBase&) = delete;

    std::shared_ptr<Logic> logic() const {
        std::lock_guard lock(slot_->mutex);
        return slot_->logic;
    }

    void installLogic(std::shared_ptr<Logic> logic) {
        std::lock_guard lock(slot_->mutex);
        std::swap(slot_->logic, logic);
        // A replaced logic is released after the lock, in `logic`'s destructor.
    }

    static std::string notInitializedMessage(const std::string& method) {
        return "In the " + method +
               " method an error has occurred: The SDK is not initialized yet!";
    }

    /// Queues `call`. When it runs without a logic it is dropped with the
    /// not-initialised line; `dropped` then runs, so a completion still gets
    /// its empty answer. With the proxy gone only `dropped` runs.
    void enqueue(std::string method, std::function<void(Logic&)> call,
                 std::function<void()> dropped = {}) {
        queue_.addOperation([weak = std::weak_ptr<Slot>(slot_), method = std::move(method),
                             call = std::move(call), dropped = std::move(dropped)] {
            auto slot = weak.lock();
            if (!slot) {
                if (dropped) {
                    dropped();
                }
                return;
            }
            std::shared_ptr<Logic> logic;
            {
                std::lock_guard lock(slot->mutex);
                logic = slot->logic;
            }
            if (!logic) {
                Logger::writeLog(MVKLogLevel::error, notInitializedMessage(method));
                if (dropped) {
                    dropped();
                }
                return;
            }
            call(*logic);
        });
    }

  protected:
    ~LogicProxyBase() = default;

  private:
    struct Slot {
        std::mutex mutex;
        std::shared_ptr<Logic> logic;
    };

    SerialQueue& queue_;
    const std::shared_ptr<Slot> slot_;
};

}  // namespace mvk
