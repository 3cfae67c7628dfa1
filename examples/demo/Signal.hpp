#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

namespace demo {

/// A value one of the library's queues hands back once. The demo waits for
/// it with a deadline, so a completion that never comes shows up as a
/// missing line instead of a hung demo. A late completion may still come
/// after the wait gave up, so completions hold a signal by `shared_ptr`.
template <typename T>
class Signal {
  public:
    void set(T value) {
        {
            std::lock_guard lock(mutex_);
            if (value_) {
                ++extraCalls_;
                return;
            }
            value_ = std::move(value);
        }
        changed_.notify_all();
    }

    std::optional<T> wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout, [&] { return value_.has_value(); });
        return value_;
    }

    int extraCalls() const {
        std::lock_guard lock(mutex_);
        return extraCalls_;
    }

  private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<T> value_;
    int extraCalls_ = 0;
};

}  // namespace demo
