#pragma once

#include <atomic>
#include <utility>

namespace mvk {

/// Hands a host's completion one answer, whichever road of a queued block
/// gets there first (the logic, a failure, a dropped call); later answers go
/// nowhere. The completion is released once called, so what it holds of the
/// host's objects does not stay alive in a queue's captures.
template <typename Completion>
class OnceAnswer {
  public:
    explicit OnceAnswer(Completion completion) : completion_(std::move(completion)) {}

    OnceAnswer(const OnceAnswer&) = delete;
    OnceAnswer& operator=(const OnceAnswer&) = delete;

    template <typename... Values>
    void operator()(const Values&... values) {
        // A logic may keep the completion and answer from another thread.
        if (answered_.exchange(true)) {
            return;
        }
        Completion completion = std::move(completion_);
        completion_ = nullptr;
        if (completion) {
            completion(values...);
        }
    }

  private:
    std::atomic<bool> answered_{false};
    Completion completion_;
};

}  // namespace mvk
