#include "analytics/AnalyticsProxy.hpp"

#include "analytics/ValidatorRules.hpp"
#include "backend/Config.hpp"

namespace mvk {

void AnalyticsProxy::stopSDK() {
    ValidatorRules::clearCurrencyValidators();
    if (auto installed = logic()) {
        installed->stopSDK();
    }
}

std::int64_t AnalyticsProxy::getCustomEventParamsCount() const {
    if (auto installed = logic()) {
        return installed->getCustomEventParamsCount();
    }
    return Config::defaulConfiguration().eventParamsCount;
}

}  // namespace mvk
