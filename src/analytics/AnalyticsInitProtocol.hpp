#pragma once

#include <optional>

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

namespace mvk {

/// How start-up drives the analytics logic's first start, on the income queue.
class AnalyticsInitProtocol {
  public:
    virtual ~AnalyticsInitProtocol() = default;

    virtual void prepareCallBacks() = 0;
    virtual void applyAnalyticsConfiguration(
        const std::optional<MVKAnalyticsConfigurationLocal>& configuration) = 0;
    virtual void tryStartSDK() = 0;
    virtual void startActivity() = 0;
    virtual void stopActivity() = 0;
};

}  // namespace mvk
