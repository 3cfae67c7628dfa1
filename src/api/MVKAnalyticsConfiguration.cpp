#include "mvk/MVKAnalyticsConfiguration.hpp"

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"

namespace mvk {

std::string MVKAnalyticsConfiguration::description() const noexcept {
    try {
        // The copy's text, so the object and what start-up logs of it never differ.
        return MVKAnalyticsConfigurationLocal::from(*this).description();
    } catch (...) {
        return {};
    }
}

}  // namespace mvk
