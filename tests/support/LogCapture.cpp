#include "support/LogCapture.hpp"

#include <algorithm>

#include "foundation/SystemLog.hpp"

namespace mvk::test {

class LogCapture::Sink final : public SystemLogSinkProtocol {
  public:
    void write(MVKLogLevel level, const std::string& line) override {
        std::lock_guard lock(mutex);
        lines.push_back(line);
        levels.push_back(level);
    }
    mutable std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<MVKLogLevel> levels;
};

LogCapture::LogCapture(MVKLogLevel level)
    : sink_(std::make_shared<Sink>()),
      previousLevel_(Logger::logLevel()),
      previousEngine_(Logger::engineLoggerMessageClosure()) {
    previousSink_ = SystemLog::setSink(sink_);
    Logger::setEngineLoggerMessageClosure(nullptr);
    Logger::setLogLevel(level);
}

LogCapture::~LogCapture() {
    Logger::setLogLevel(previousLevel_);
    Logger::setEngineLoggerMessageClosure(previousEngine_);
    SystemLog::setSink(previousSink_);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(sink_->mutex);
    return sink_->lines;
}

std::vector<MVKLogLevel> LogCapture::sinkLevels() const {
    std::lock_guard lock(sink_->mutex);
    return sink_->levels;
}

std::vector<std::string> LogCapture::messages() const {
    std::vector<std::string> result;
    for (const auto& line : lines()) {
        // "yyyy/MM/dd HH:mm:ss [MorVanix <version>] LEVEL message"
        auto tagEnd = line.find("] ");
        result.push_back(tagEnd == std::string::npos ? line : line.substr(tagEnd + 2));
    }
    return result;
}

bool LogCapture::contains(MVKLogLevel level, const std::string& text) const {
    return count(level, text) > 0;
}

std::size_t LogCapture::count(MVKLogLevel level, const std::string& text) const {
    const std::string wanted = std::string(description(level)) + " " + text;
    auto all = messages();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), wanted));
}

bool LogCapture::containsFragment(const std::string& fragment) const {
    return countContaining(fragment) != 0;
}

std::size_t LogCapture::countContaining(const std::string& fragment) const {
    auto all = lines();
    return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [&](const auto& line) {
        return line.find(fragment) != std::string::npos;
    }));
}

void LogCapture::clear() {
    std::lock_guard lock(sink_->mutex);
    sink_->lines.clear();
    sink_->levels.clear();
}

}  // namespace mvk::test
