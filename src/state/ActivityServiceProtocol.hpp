#pragma once

#include <cstdint>
#include <optional>

namespace mvk {

/// Sessions of the active user: whether the application is in the foreground,
/// and the user's session id and last foreground and background times.
class ActivityServiceProtocol {
  public:
    virtual ~ActivityServiceProtocol() = default;

    virtual bool isActive() const = 0;
    /// While active, records now as the user's last background time.
    virtual void updateLastBackgroundTime() = 0;
    virtual std::optional<std::int64_t> getSessionId() = 0;
    /// Nothing when already active; true when a new session started, false
    /// when the previous one goes on.
    virtual std::optional<bool> startActivity() = 0;
    /// The last background time is set and no more than the session timeout ago.
    virtual bool isValidSession() = 0;
    /// The activity's length in whole seconds; nothing when it was not active
    /// or its start is unknown.
    virtual std::optional<std::int64_t> stopActivity() = 0;
};

}  // namespace mvk
