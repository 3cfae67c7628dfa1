#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "mvk/MVKLogLevel.hpp"

namespace mvk {

/// The library's log. A message is written when the current level is at least
/// the message's level; it goes to the host engine's closure when one is set,
/// else to the system log as "yyyy/MM/dd HH:mm:ss [MorVanix <version>] LEVEL message".
///
/// The settings are written by the host from any thread while queues log, so
/// each is an atomic or a snapshot taken under a lock; closures are always
/// called outside the lock. Setting the engine closure waits until the one it
/// replaces runs nowhere (but in a call that removes it from inside itself).
class Logger {
  public:
    using EngineLoggerMessageClosure = std::function<void(MVKLogLevel, const std::string&)>;
    using LoggerMessageClosure = std::function<void(const std::string&)>;

    Logger() = delete;

    static void writeLog(MVKLogLevel level, std::string_view message);
    /// Whether a message of `level` would be written now; lets a caller skip
    /// building a costly message that would be dropped.
    static bool isEnabled(MVKLogLevel level);

    static MVKLogLevel logLevel();
    static void setLogLevel(MVKLogLevel level);

    static EngineLoggerMessageClosure engineLoggerMessageClosure();
    static void setEngineLoggerMessageClosure(EngineLoggerMessageClosure closure);

    /// Kept for the public property only; the logger never calls it.
    static LoggerMessageClosure loggerMessageClosure();
    static void setLoggerMessageClosure(LoggerMessageClosure closure);

    /// The date part of a system-log line for `millis` since 1970, in local time.
    static std::string formatDate(std::int64_t millis);
};

}  // namespace mvk
