#pragma once

#include <memory>
#include <string>

#include "foundation/SystemLogSinkProtocol.hpp"

namespace mvk {

/// The system log. The sink is chosen once, on first use: standard error when
/// MVK_LOG_TO_STDERR is set to a non-empty value other than "0", else syslog.
/// Tests replace the sink to capture lines.
class SystemLog {
  public:
    SystemLog() = delete;

    static void write(MVKLogLevel level, const std::string& line);

    /// The syslog priority of a level: a log reader filters by it, so an
    /// error must not hide among notices.
    static int priority(MVKLogLevel level);

    /// Replaces the sink (the default one again when null); returns the previous one.
    static std::shared_ptr<SystemLogSinkProtocol> setSink(
        std::shared_ptr<SystemLogSinkProtocol> sink);
};

}  // namespace mvk
