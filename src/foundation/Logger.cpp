#include "foundation/Logger.hpp"

#include <atomic>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <utility>

#include "foundation/Clock.hpp"
#include "foundation/SdkConstraints.hpp"
#include "foundation/SystemLog.hpp"

namespace mvk {

namespace {

/// One engine closure the host set, with the calls of it under way. The
/// counts and flags are guarded by the state's mutex.
struct EngineEntry {
    explicit EngineEntry(Logger::EngineLoggerMessageClosure value) : closure(std::move(value)) {}

    Logger::EngineLoggerMessageClosure closure;
    std::size_t calls = 0;
    /// Replaced or removed: no new call starts.
    bool retired = false;
    /// Removed from inside its own call: that call, the last, releases it.
    bool releasedByItsCall = false;
};

struct LoggerState {
    std::atomic<std::int64_t> level{rawValue(MVKLogLevel::error)};
    std::mutex mutex;
    /// Signalled when a call of a retired closure ends.
    std::condition_variable retiredCallEnded;
    std::shared_ptr<EngineEntry> engine;
    std::shared_ptr<const Logger::LoggerMessageClosure> messageClosure;
};

// Leaked on purpose: queue threads may log while the process exits.
LoggerState& loggerState() {
    static auto* s = new LoggerState();
    return *s;
}

/// The engine closures this thread is inside, innermost first: a closure
/// removed from inside itself cannot wait for its own call to end.
struct EngineCall {
    const EngineEntry* entry;
    const EngineCall* outer;
};
thread_local const EngineCall* innermostEngineCall = nullptr;

std::size_t callsOnThisThread(const EngineEntry* entry) {
    std::size_t count = 0;
    for (auto* call = innermostEngineCall; call != nullptr; call = call->outer) {
        count += call->entry == entry ? 1 : 0;
    }
    return count;
}

/// Counts a call of `entry` in and, on every way out, out again. A closure
/// removed from inside itself is released when that call ends; any other is
/// released by the change that retired it, before the change returns (a
/// plugin may unload what the closure's captures would run on release).
class EngineCallScope {
  public:
    EngineCallScope(LoggerState& state, std::shared_ptr<EngineEntry> entry)
        : state_(state), entry_(std::move(entry)), call_{entry_.get(), innermostEngineCall} {
        innermostEngineCall = &call_;
    }

    EngineCallScope(const EngineCallScope&) = delete;
    EngineCallScope& operator=(const EngineCallScope&) = delete;

    ~EngineCallScope() {
        innermostEngineCall = call_.outer;
        Logger::EngineLoggerMessageClosure released;
        bool retired = false;
        {
            std::lock_guard lock(state_.mutex);
            --entry_->calls;
            retired = entry_->retired;
            if (entry_->releasedByItsCall && entry_->calls == 0) {
                released = std::move(entry_->closure);
                entry_->closure = nullptr;
            }
        }
        if (retired) {
            state_.retiredCallEnded.notify_all();
        }
    }

  private:
    LoggerState& state_;
    const std::shared_ptr<EngineEntry> entry_;
    const EngineCall call_;
};

}  // namespace

bool Logger::isEnabled(MVKLogLevel level) {
    return loggerState().level.load(std::memory_order_relaxed) >= rawValue(level);
}

void Logger::writeLog(MVKLogLevel level, std::string_view message) {
    if (!isEnabled(level)) {
        return;
    }
    auto& s = loggerState();
    std::shared_ptr<EngineEntry> engine;
    {
        std::lock_guard lock(s.mutex);
        engine = s.engine;
        if (engine) {
            ++engine->calls;
        }
    }
    try {
        if (engine) {
            const EngineCallScope scope(s, engine);
            std::string text(description(level));
            text += ' ';
            text += message;
            engine->closure(level, text);
            return;
        }
        std::string line = formatDate(Clock::nowMillis());
        line += " [MorVanix ";
        line += SdkConstraints::sdkVersion();
        line += "] ";
        line += description(level);
        line += ' ';
        line += message;
        SystemLog::write(level, line);
    } catch (...) {
        // A throwing host closure must not take the library down with it.
    }
}

MVKLogLevel Logger::logLevel() {
    return static_cast<MVKLogLevel>(loggerState().level.load(std::memory_order_relaxed));
}

void Logger::setLogLevel(MVKLogLevel level) {
    loggerState().level.store(rawValue(level), std::memory_order_relaxed);
}

Logger::EngineLoggerMessageClosure Logger::engineLoggerMessageClosure() {
    auto& s = loggerState();
    std::lock_guard lock(s.mutex);
    return s.engine ? s.engine->closure : EngineLoggerMessageClosure{};
}

void Logger::setEngineLoggerMessageClosure(EngineLoggerMessageClosure closure) {
    auto entry = closure ? std::make_shared<EngineEntry>(std::move(closure)) : nullptr;
    auto& s = loggerState();
    EngineLoggerMessageClosure released;
    {
        std::unique_lock lock(s.mutex);
        const auto old = std::exchange(s.engine, std::move(entry));
        if (old) {
            old->retired = true;
            // Calls of it on other threads end first; this thread's own call,
            // when it removes the closure from inside, ends after this returns.
            const auto own = callsOnThisThread(old.get());
            s.retiredCallEnded.wait(lock, [&] { return old->calls == own; });
            if (own == 0) {
                released = std::move(old->closure);
                old->closure = nullptr;
            } else {
                old->releasedByItsCall = true;
            }
        }
    }
    // The host's closure is released outside the lock: its captures may log.
}

Logger::LoggerMessageClosure Logger::loggerMessageClosure() {
    auto& s = loggerState();
    std::lock_guard lock(s.mutex);
    return s.messageClosure ? *s.messageClosure : LoggerMessageClosure{};
}

void Logger::setLoggerMessageClosure(LoggerMessageClosure closure) {
    auto snapshot =
        closure ? std::make_shared<const LoggerMessageClosure>(std::move(closure)) : nullptr;
    auto& s = loggerState();
    std::lock_guard lock(s.mutex);
    s.messageClosure.swap(snapshot);
}

std::string Logger::formatDate(std::int64_t millis) {
    std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    if (millis < 0 && millis % 1000 != 0) {
        --seconds;
    }
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) {
        return "0000/00/00 00:00:00";
    }
    char buffer[32];
    std::size_t length = std::strftime(buffer, sizeof buffer, "%Y/%m/%d %H:%M:%S", &local);
    return std::string(buffer, length);
}

}  // namespace mvk
