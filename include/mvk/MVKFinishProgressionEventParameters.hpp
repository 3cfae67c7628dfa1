#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "mvk/Export.hpp"

namespace mvk {

/// Outcome of a progression: whether it succeeded, how long it took in
/// seconds, and the resources spent and earned in it (name to amount). The
/// library copies them at the call.
class MVK_EXPORT MVKFinishProgressionEventParameters {
  public:
    using Resources = std::map<std::string, std::int64_t>;

    MVKFinishProgressionEventParameters() = default;

    bool successfulCompletion() const noexcept { return successfulCompletion_; }
    void setSuccessfulCompletion(bool value) noexcept { successfulCompletion_ = value; }

    std::int64_t duration() const noexcept { return duration_; }
    void setDuration(std::int64_t seconds) noexcept { duration_ = seconds; }

    const Resources& spent() const noexcept { return spent_; }
    /// Names with invalid UTF-8 sequences get U+FFFD in their place.
    void setSpent(const Resources& spent) noexcept;

    const Resources& earned() const noexcept { return earned_; }
    void setEarned(const Resources& earned) noexcept;

    /// The two fields, then the spent and the earned resources when not empty.
    std::string description() const noexcept;

  private:
    bool successfulCompletion_ = false;
    std::int64_t duration_ = 0;
    Resources spent_;
    Resources earned_;
};

}  // namespace mvk
