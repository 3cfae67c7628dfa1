#pragma once

#include <memory>

#include "analytics/CurrencyAccrualServiceProtocol.hpp"
#include "analytics/LevelResourceServiceProtocol.hpp"
#include "core/ABTestConfigServiceProtocol.hpp"
#include "core/ActivityServiceProtocol.hpp"
#include "core/AnalyticsConfigServiceProtocol.hpp"
#include "core/ProjectServiceProtocol.hpp"
#include "core/TimerServiceProtocol.hpp"
#include "core/UserServiceProtocol.hpp"

namespace mvk {

/// Where the logic objects take their services while start-up builds them.
/// Each service is built on first request and then handed out again, so every
/// logic object shares the same instance. Used on the income queue only.
class ServiceFactoryProtocol {
  public:
    virtual ~ServiceFactoryProtocol() = default;

    virtual std::shared_ptr<ProjectServiceProtocol> projectService() = 0;
    virtual std::shared_ptr<TimerServiceProtocol> timerService() = 0;
    virtual std::shared_ptr<AnalyticsConfigServiceProtocol> analyticsAnalyticsConfigService() = 0;
    virtual std::shared_ptr<UserServiceProtocol> userService() = 0;
    virtual std::shared_ptr<ActivityServiceProtocol> activityService() = 0;
    /// The same object as `analyticsAnalyticsConfigService`, behind its A/B face.
    virtual std::shared_ptr<ABTestConfigServiceProtocol> abTestConfigService() = 0;
    virtual std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService() = 0;
    virtual std::shared_ptr<LevelResourceServiceProtocol> levelResourceService() = 0;
};

}  // namespace mvk
