#include "events/VirtualCurrencyPayment.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void VirtualCurrencyPayment::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["purchaseId"] = purchaseId;
    json["purchaseAmount"] = purchaseAmount;
    json["purchasePrice"] = nlohmann::ordered_json(purchasePrice);
    json["purchaseType"] = purchaseType;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void VirtualCurrencyPayment::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("purchaseId", purchaseId)
        .add("purchaseAmount", purchaseAmount)
        .addDictionary("purchasePrice", "currency", "price", purchasePrice)
        .add("purchaseType", purchaseType)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
