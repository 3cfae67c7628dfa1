#pragma once

#include <memory>
#include <optional>
#include <string>

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

namespace mvk {

class MVKRemoteConfigListener;

/// Starts the library for an application key.
class CoreProtocol {
  public:
    virtual ~CoreProtocol() = default;

    /// With a listener the A/B feature runs; without one it does not.
    virtual void initialize(const std::string& applicationKey,
                            std::optional<MVKAnalyticsConfigurationLocal> configuration,
                            std::shared_ptr<MVKRemoteConfigListener> listener) = 0;
};

}  // namespace mvk
