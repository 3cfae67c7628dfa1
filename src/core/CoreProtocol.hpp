#pragma once

#include <optional>
#include <string>

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

namespace mvk {

/// Starts the library for an application key.
class CoreProtocol {
  public:
    virtual ~CoreProtocol() = default;

    virtual void initialize(const std::string& applicationKey,
                            std::optional<MVKAnalyticsConfigurationLocal> configuration) = 0;
};

}  // namespace mvk
