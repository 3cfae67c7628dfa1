#include "analytics/AnalyticsProxy.hpp"

#include "analytics/ValidatorRules.hpp"

namespace mvk {

void AnalyticsProxy::stopSDK() {
    ValidatorRules::clearCurrencyValidators();
    if (auto installed = logic()) {
        installed->stopSDK();
    }
}

}  // namespace mvk
