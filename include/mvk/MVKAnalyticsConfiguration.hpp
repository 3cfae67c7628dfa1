#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>

#include "mvk/Export.hpp"
#include "mvk/MVKLogLevel.hpp"
#include "mvk/MVKOptionalText.hpp"
#include "mvk/MVKTrackingStatus.hpp"

namespace mvk {

/// Start-up options handed to `MVKAnalytics::initialize`. The library copies
/// them at that call; changing the object afterwards has no effect.
class MVK_EXPORT MVKAnalyticsConfiguration {
  public:
    MVKAnalyticsConfiguration() = default;

    /// The log level to apply at start-up; `unknown` keeps the current one.
    MVKLogLevel logLevel() const noexcept { return logLevel_; }
    void setLogLevel(MVKLogLevel logLevel) noexcept { logLevel_ = logLevel; }

    /// The user id to start with; none for the anonymous user.
    const std::optional<std::string>& userId() const noexcept { return userId_; }
    void setUserId(MVKOptionalText userId) noexcept { userId_ = std::move(userId).value(); }

    /// The player's level to start with.
    std::optional<std::int64_t> currentLevel() const noexcept { return currentLevel_; }
    void setCurrentLevel(std::optional<std::int64_t> currentLevel) noexcept {
        currentLevel_ = currentLevel;
    }
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    void setCurrentLevel(Fraction) = delete;
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    void setCurrentLevel(std::optional<Fraction>) = delete;
    /// `{2.5}` would otherwise build the optional from the fraction, cut.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    void setCurrentLevel(std::initializer_list<Fraction>) = delete;

    /// Whether tracking is allowed; `unknown` leaves the stored choice.
    MVKTrackingStatus trackingAvailability() const noexcept { return trackingAvailability_; }
    void setTrackingAvailability(MVKTrackingStatus trackingAvailability) noexcept {
        trackingAvailability_ = trackingAvailability;
    }

    /// One "name: value" line per field that is set, for log lines; empty
    /// when memory runs out.
    std::string description() const noexcept;

  private:
    MVKLogLevel logLevel_ = MVKLogLevel::unknown;
    std::optional<std::string> userId_;
    std::optional<std::int64_t> currentLevel_;
    MVKTrackingStatus trackingAvailability_ = MVKTrackingStatus::unknown;
};

}  // namespace mvk
