#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace mvk {

/// Named notifications without payload, delivered synchronously on the posting
/// thread to the observers of that name in the order they were added.
class NotificationCenterProtocol {
  public:
    using ObserverId = std::uint64_t;

    virtual ~NotificationCenterProtocol() = default;

    virtual ObserverId addObserver(const std::string& name, std::function<void()> block) = 0;
    /// Once this returns the observer is not called again, also not by a post
    /// already under way, and no call of it is running on another thread: this
    /// waits for such calls to end, so the observer's owner may go right after.
    /// Called from inside the observer's own call it does not wait for that
    /// call. An observer therefore must not wait for a thread that may be
    /// removing it, or the two wait for each other.
    virtual void removeObserver(ObserverId observer) = 0;
    virtual void post(const std::string& name) = 0;
};

}  // namespace mvk
