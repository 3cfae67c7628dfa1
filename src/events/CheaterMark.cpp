#include "events/CheaterMark.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void CheaterMark::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["cheater"] = cheater;
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void CheaterMark::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("cheater", cheater)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
