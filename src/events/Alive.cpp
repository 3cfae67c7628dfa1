#include "events/Alive.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void Alive::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void Alive::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId).add("inExperiments", inExperiments);
}

}  // namespace mvk
