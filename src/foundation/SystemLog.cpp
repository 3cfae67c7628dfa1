#include "foundation/SystemLog.hpp"

#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace mvk {

namespace {

// openlog would replace the host's own ident, options and facility for the
// whole process, so each line names us and the process itself instead.
class SyslogSink final : public SystemLogSinkProtocol {
  public:
    void write(MVKLogLevel level, const std::string& line) override {
        syslog(LOG_USER | SystemLog::priority(level), "MVKAnalytics[%d]: %s",
               static_cast<int>(getpid()), line.c_str());
    }
};

class StderrSink final : public SystemLogSinkProtocol {
  public:
    void write(MVKLogLevel /*level*/, const std::string& line) override {
        // One fwrite per line keeps lines from different threads whole.
        std::string withNewline = line + "\n";
        std::fwrite(withNewline.data(), 1, withNewline.size(), stderr);
    }
};

std::shared_ptr<SystemLogSinkProtocol> makeDefaultSink() {
    const char* flag = std::getenv("MVK_LOG_TO_STDERR");
    if (flag != nullptr && flag[0] != '\0' && std::strcmp(flag, "0") != 0) {
        return std::make_shared<StderrSink>();
    }
    return std::make_shared<SyslogSink>();
}

struct SinkState {
    std::mutex mutex;
    std::shared_ptr<SystemLogSinkProtocol> defaultSink = makeDefaultSink();
    std::shared_ptr<SystemLogSinkProtocol> sink = defaultSink;
};

SinkState& sinkState() {
    static auto* s = new SinkState();
    return *s;
}

}  // namespace

int SystemLog::priority(MVKLogLevel level) {
    switch (level) {
        case MVKLogLevel::error:
            return LOG_ERR;
        case MVKLogLevel::warning:
            return LOG_WARNING;
        case MVKLogLevel::info:
            return LOG_INFO;
        case MVKLogLevel::debug:
            return LOG_DEBUG;
        default:
            return LOG_NOTICE;
    }
}

void SystemLog::write(MVKLogLevel level, const std::string& line) {
    std::shared_ptr<SystemLogSinkProtocol> sink;
    {
        auto& s = sinkState();
        std::lock_guard lock(s.mutex);
        sink = s.sink;
    }
    sink->write(level, line);
}

std::shared_ptr<SystemLogSinkProtocol> SystemLog::setSink(
    std::shared_ptr<SystemLogSinkProtocol> sink) {
    auto& s = sinkState();
    std::lock_guard lock(s.mutex);
    auto previous = s.sink;
    s.sink = sink ? std::move(sink) : s.defaultSink;
    return previous;
}

}  // namespace mvk
