#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

#include "foundation/Utf8.hpp"

namespace mvk {

std::string MVKAnalyticsConfigurationLocal::description() const {
    std::string text = "logLevel: " + std::string(mvk::description(logLevel)) + "\n";
    if (userId) {
        text += "userId: " + *userId + "\n";
    }
    if (level) {
        text += "currentLevel: " + std::to_string(*level) + "\n";
    }
    text += "trackingAvailability: " + std::string(mvk::description(trackingAvailability));
    return text;
}

MVKAnalyticsConfigurationLocal MVKAnalyticsConfigurationLocal::from(
    const MVKAnalyticsConfiguration& configuration) {
    MVKAnalyticsConfigurationLocal local;
    local.logLevel = configuration.logLevel();
    if (configuration.userId()) {
        local.userId = Utf8::sanitized(*configuration.userId());
    }
    local.level = configuration.currentLevel();
    local.trackingAvailability = configuration.trackingAvailability();
    return local;
}

}  // namespace mvk
