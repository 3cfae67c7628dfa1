#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "foundation/Logger.hpp"
#include "foundation/SystemLogSinkProtocol.hpp"

namespace mvk::test {

/// Captures system-log lines for the lifetime of the object and sets the log
/// level; restores the previous sink, level and engine closure afterwards.
class LogCapture {
  public:
    explicit LogCapture(MVKLogLevel level = MVKLogLevel::debug);
    ~LogCapture();

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    /// Every captured line, whole (date, tag, level, message).
    std::vector<std::string> lines() const;
    /// The level the system log was handed with each line, in the same order.
    std::vector<MVKLogLevel> sinkLevels() const;
    /// The message part of each line ("LEVEL message"), without date and tag.
    std::vector<std::string> messages() const;
    /// True when some message equals "LEVEL text".
    bool contains(MVKLogLevel level, const std::string& text) const;
    /// True when some line holds `fragment`.
    bool containsFragment(const std::string& fragment) const;
    /// How many lines hold `fragment`.
    std::size_t countContaining(const std::string& fragment) const;
    std::size_t count(MVKLogLevel level, const std::string& text) const;
    void clear();

  private:
    class Sink;
    std::shared_ptr<Sink> sink_;
    std::shared_ptr<SystemLogSinkProtocol> previousSink_;
    MVKLogLevel previousLevel_;
    Logger::EngineLoggerMessageClosure previousEngine_;
};

}  // namespace mvk::test
