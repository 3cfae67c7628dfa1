#include "events/UserEngagement.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void UserEngagement::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["length"] = length;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void UserEngagement::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("length", length)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
