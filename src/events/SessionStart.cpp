#include "events/SessionStart.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void SessionStart::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void SessionStart::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
