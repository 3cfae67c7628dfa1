#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "mvk/Export.hpp"
#include "mvk/MVKOptionalText.hpp"

namespace mvk {

/// Queries the engine plugin makes of the library. Any thread; never throws.
///
/// The platform has no push service of its own: the plugin hands over the
/// token and the opened pushes it gets from wherever its pushes come from.
class MVK_EXPORT UnrealBridge {
  public:
    /// One JSON object text per category, {"id": ..., "buttons": [...]}, or
    /// "{}" for a category that cannot be written.
    using MessagingCategoriesCompletion = std::function<void(const std::vector<std::string>&)>;

    UnrealBridge() = delete;

    /// The project's push categories, the gateway's newest merged with the
    /// stored ones. The completion runs on a library thread, and only when
    /// the call reaches a running start-up: one made before `initialize`,
    /// after a start-up that failed, or after `MVKEngineWrapper::destroySDK`
    /// until the next `initialize` is dropped with a log line and never
    /// completes. Like a getter it is never refused at the bound on the calls
    /// waiting to be stored. A call racing `destroySDK` may land on either
    /// side of it, so a host that waits for the completion must wait with a
    /// limit.
    static void getMessagingCategories(MessagingCategoriesCompletion completion) noexcept;
    /// The device's push token and whether the user allows pushes.
    static void sendPushToken(const std::string& token, bool isAllowed) noexcept;
    /// A push was opened at `timestamp` (milliseconds since 1970), through
    /// `button` when one was pressed (absent: `std::nullopt` or a null pointer).
    static void sendPushOpened(std::int64_t timestamp, std::int64_t pushId,
                               MVKOptionalText button) noexcept;
    /// Writes the engine's line through the library's log: level 1 as an
    /// error, 2 a warning, 3 info, anything else debug.
    static void sendLogMessage(std::int64_t level, const std::string& message) noexcept;

    /// True from the moment `initialize` was accepted (before start-up has
    /// finished, and also when it failed) until `MVKEngineWrapper::destroySDK`
    /// is called.
    static bool isAnalyticsInited() noexcept;
};

}  // namespace mvk
