#include "events/Tutorial.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void Tutorial::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["step"] = step;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void Tutorial::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("step", step)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
