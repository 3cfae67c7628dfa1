#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "mvk/MVKAnalyticsConfiguration.hpp"

namespace mvk {

/// The host's start-up options as a value taken at the public call, so the
/// queued start-up never sees later changes to the host's object. Start-up
/// rules may replace `userId` and `level` with cleaned values.
struct MVKAnalyticsConfigurationLocal {
    MVKLogLevel logLevel = MVKLogLevel::unknown;
    std::optional<std::string> userId;
    std::optional<std::int64_t> level;
    MVKTrackingStatus trackingAvailability = MVKTrackingStatus::unknown;

    /// Texts are made valid UTF-8 here, at the library's boundary.
    static MVKAnalyticsConfigurationLocal from(const MVKAnalyticsConfiguration& configuration);

    std::string description() const;
};

}  // namespace mvk
