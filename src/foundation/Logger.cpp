#include "foundation/Logger.hpp"

#include <atomic>
#include <ctime>
#include <memory>
#include <mutex>

#include "foundation/SdkConstraints.hpp"
#include "platform/Clock.hpp"
#include "platform/SystemLog.hpp"

namespace mvk {

namespace {

struct LoggerState {
    std::atomic<std::int64_t> level{rawValue(MVKLogLevel::error)};
    std::mutex mutex;
    std::shared_ptr<const Logger::EngineLoggerMessageClosure> engineClosure;
    std::shared_ptr<const Logger::LoggerMessageClosure> messageClosure;
};

// Leaked on purpose: queue threads may log while the process exits.
LoggerState& state() {
    static auto* s = new LoggerState();
    return *s;
}

}  // namespace

bool Logger::isEnabled(MVKLogLevel level) {
    return state().level.load(std::memory_order_relaxed) >= rawValue(level);
}

void Logger::writeLog(MVKLogLevel level, std::string_view message) {
    if (!isEnabled(level)) {
        return;
    }
    auto& s = state();
    std::shared_ptr<const EngineLoggerMessageClosure> engine;
    {
        std::lock_guard lock(s.mutex);
        engine = s.engineClosure;
    }
    try {
        if (engine && *engine) {
            std::string text(description(level));
            text += ' ';
            text += message;
            (*engine)(level, text);
            return;
        }
        std::string line = formatDate(Clock::nowMillis());
        line += " [MorVanix ";
        line += SdkConstraints::sdkVersion();
        line += "] ";
        line += description(level);
        line += ' ';
        line += message;
        SystemLog::write(line);
    } catch (...) {
        // A throwing host closure must not take the library down with it.
    }
}

MVKLogLevel Logger::logLevel() {
    return static_cast<MVKLogLevel>(state().level.load(std::memory_order_relaxed));
}

void Logger::setLogLevel(MVKLogLevel level) {
    state().level.store(rawValue(level), std::memory_order_relaxed);
}

Logger::EngineLoggerMessageClosure Logger::engineLoggerMessageClosure() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.engineClosure ? *s.engineClosure : EngineLoggerMessageClosure{};
}

void Logger::setEngineLoggerMessageClosure(EngineLoggerMessageClosure closure) {
    auto snapshot =
        closure ? std::make_shared<const EngineLoggerMessageClosure>(std::move(closure)) : nullptr;
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.engineClosure.swap(snapshot);
    // The old closure is released after the lock, in `snapshot`'s destructor.
}

Logger::LoggerMessageClosure Logger::loggerMessageClosure() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.messageClosure ? *s.messageClosure : LoggerMessageClosure{};
}

void Logger::setLoggerMessageClosure(LoggerMessageClosure closure) {
    auto snapshot =
        closure ? std::make_shared<const LoggerMessageClosure>(std::move(closure)) : nullptr;
    auto& s = state();
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
