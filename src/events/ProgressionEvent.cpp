#include "events/ProgressionEvent.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void ProgressionEvent::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["name"] = name;
    EventRecord::putIfPresent(json, "spent", spent);
    EventRecord::putIfPresent(json, "earned", earned);
    json["parameters"] = parameters.toJson();
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void ProgressionEvent::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("name", name)
        .addDictionary("spent", "resource", "amount", spent)
        .addDictionary("earned", "resource", "amount", earned);
    parameters.describe(text);
    text.add("inExperiments", inExperiments);
}

}  // namespace mvk
