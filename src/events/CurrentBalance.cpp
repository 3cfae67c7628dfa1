#include "events/CurrentBalance.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void CurrentBalance::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["balance"] = nlohmann::ordered_json(balance);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void CurrentBalance::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .addDictionary("balance", "resource", "amount", balance)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
