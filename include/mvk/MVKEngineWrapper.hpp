#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "mvk/Export.hpp"
#include "mvk/MVKLogLevel.hpp"

namespace mvk {

/// Calls meant for the game engine's plugin rather than for game code. Every
/// call may be made from any thread and never throws.
class MVK_EXPORT MVKEngineWrapper {
  public:
    /// Receives the level and the text ("LEVEL message") of each log line.
    using EngineLoggerMessageClosure = std::function<void(MVKLogLevel, const std::string&)>;

    MVKEngineWrapper() = delete;

    /// Ends the library's current run after every call already made has been
    /// handled. Calls made after this returns reach a fresh run, which needs
    /// `initialize` again; it may be called at once. Returns at once whatever
    /// other threads are calling: a call made meanwhile reaches the ending run
    /// before its end, or the fresh one.
    static void destroySDK() noexcept;

    /// The version shown in log lines and sent to the gateway, for plugins
    /// that wrap the library under their own version.
    static void setSDKVersion(const std::string& version) noexcept;

    /// The game runs inside the engine's editor; set before `initialize`.
    static void enableEditorMode() noexcept;

    /// Writes the value and its base64 form in one debug line, to check
    /// that texts cross from the engine to the library unchanged.
    static void testString(const std::string& value) noexcept;

    /// While set, every log line that passes the level goes to the closure
    /// instead of the system log. An empty function removes it.
    ///
    /// The closure runs on the thread that writes the line (a host thread in
    /// a library call, or one of the library's own threads), outside the
    /// library's locks, so it may call back into the library. Calls from
    /// different threads may overlap: it must be safe to run concurrently.
    /// Once a set or a removal returns, the closure it replaced is not running
    /// and is never called again, and the library has let go of it (a plugin
    /// may free or unload what it captured). The one exception is a closure
    /// removed from inside its own call: that call finishes after the removal
    /// returns. Setting or removing waits for the calls under way on other
    /// threads, so the closure must never wait for the thread that sets it.
    static EngineLoggerMessageClosure engineLoggerMessageClosure() noexcept;
    static void setEngineLoggerMessageClosure(EngineLoggerMessageClosure closure) noexcept;

    /// Product identifier to the identifiers of its transactions, as the
    /// engine's store reports the restored history.
    using EngineTransactionHistory = std::vector<std::pair<std::string, std::vector<std::string>>>;
    static void engineSubscriptionHistory(const EngineTransactionHistory& history) noexcept;
    static void engineSubscriprtionPayment(const std::string& productId,
                                           const std::string& transactionId) noexcept;
    /// The same as `MVKAnalytics::sdkFolderPath`.
    static std::string unitySdkFolderPath() noexcept;
};

}  // namespace mvk
