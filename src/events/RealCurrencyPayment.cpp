#include "events/RealCurrencyPayment.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void RealCurrencyPayment::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["productId"] = productId;
    json["orderId"] = orderId;
    json["price"] = price;
    json["currencyCode"] = currencyCode;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void RealCurrencyPayment::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("productId", productId)
        .add("orderId", orderId)
        .add("price", price)
        .add("currencyCode", currencyCode)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
