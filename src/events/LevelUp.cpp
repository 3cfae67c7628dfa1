#include "events/LevelUp.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void LevelUp::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    EventRecord::putIfPresent(json, "balance", balance);
    EventRecord::putIfPresent(json, "spent", spent);
    EventRecord::putIfPresent(json, "earned", earned);
    EventRecord::putIfPresent(json, "bought", bought);
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void LevelUp::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .addDictionary("balance", "resource", "amount", balance)
        .addDictionary("spent", "resource", "amount", spent)
        .addDictionary("earned", "resource", "amount", earned)
        .addDictionary("bought", "resource", "amount", bought)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
