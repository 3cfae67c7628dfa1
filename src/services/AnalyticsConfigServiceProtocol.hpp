#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "records/Config.hpp"

namespace mvk {

/// The configuration service as the analytics side sees it: the gateway's
/// analytics configuration and the user's backend identifiers. Requests go
/// out on the configuration queue; the callbacks run on the income queue.
class AnalyticsConfigServiceProtocol {
  public:
    using SdkConfigUpdate = std::function<void(const Config& config)>;
    using IdentifiersUpdate = std::function<void(std::optional<std::int64_t> morvanixId)>;

    virtual ~AnalyticsConfigServiceProtocol() = default;

    virtual SdkConfigUpdate onSdkConfigUpdate() const = 0;
    virtual void setOnSdkConfigUpdate(SdkConfigUpdate callback) = 0;
    virtual IdentifiersUpdate onIdentifiersUpdate() const = 0;
    virtual void setOnIdentifiersUpdate(IdentifiersUpdate callback) = 0;

    /// Retried until the gateway gives one; the default configuration that
    /// comes with a failure is never handed on.
    virtual void receiveAnalyticsConfig() = 0;
    /// At most one identification at a time; a second call is refused.
    virtual void receiveUserBackendIds() = 0;
    virtual void resetUserBackendIds() = 0;
    /// Ends the service for good, as the core's destroy does: pending retries
    /// are cancelled, no request starts, and an answer still on its way is
    /// dropped when it arrives. Called on the income queue.
    virtual void stop() = 0;
};

}  // namespace mvk
