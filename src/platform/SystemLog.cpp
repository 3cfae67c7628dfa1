#include "platform/SystemLog.hpp"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace mvk {

namespace {

class SyslogSink final : public SystemLogSinkProtocol {
  public:
    SyslogSink() { openlog("MVKAnalytics", LOG_PID, LOG_USER); }
    void write(const std::string& line) override { syslog(LOG_NOTICE, "%s", line.c_str()); }
};

class StderrSink final : public SystemLogSinkProtocol {
  public:
    void write(const std::string& line) override {
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

SinkState& state() {
    static auto* s = new SinkState();
    return *s;
}

}  // namespace

void SystemLog::write(const std::string& line) {
    std::shared_ptr<SystemLogSinkProtocol> sink;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        sink = s.sink;
    }
    sink->write(line);
}

std::shared_ptr<SystemLogSinkProtocol> SystemLog::setSink(
    std::shared_ptr<SystemLogSinkProtocol> sink) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto previous = s.sink;
    s.sink = sink ? std::move(sink) : s.defaultSink;
    return previous;
}

}  // namespace mvk
