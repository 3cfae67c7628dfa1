#include "events/SubscriptionPayment.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void SubscriptionPayment::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["orderId"] = orderId;
    json["productId"] = productId;
    json["regionCode"] = regionCode;
    json["currencyCode"] = currencyCode;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void SubscriptionPayment::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("productId", productId)
        .add("orderId", orderId)
        .add("regionCode", regionCode)
        .add("currencyCode", currencyCode)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
