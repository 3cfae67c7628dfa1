#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/NotificationCenterProtocol.hpp"

namespace mvk {

/// A post calls the observers registered when it started, with no lock held,
/// so an observer may add or remove observers (itself too) and post again.
class NotificationCenter final : public NotificationCenterProtocol {
  public:
    NotificationCenter() = default;

    /// The process-wide centre the application life cycle posts to; made on
    /// first use and never destroyed.
    static const std::shared_ptr<NotificationCenter>& defaultCenter();

    ObserverId addObserver(const std::string& name, std::function<void()> block) override;
    void removeObserver(ObserverId observer) override;
    void post(const std::string& name) override;

    /// Observers registered now, for checks that nothing was left behind.
    std::size_t observerCount() const;

  private:
    struct Observer;

    /// Marks the observer as called on this thread; false once it is removed.
    bool beginCall(Observer& observer);
    void endCall(Observer& observer);

    mutable std::mutex mutex_;
    /// Signalled when a call of a removed observer ends.
    std::condition_variable callEnded_;
    std::vector<std::shared_ptr<Observer>> observers_;
    ObserverId lastId_ = 0;
};

}  // namespace mvk
