#include "events/PushOpened.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void PushOpened::encodeFields(nlohmann::ordered_json& json) const {
    EventRecord::putIfPresent(json, "sessionId", sessionId);
    json["pushId"] = pushId;
    EventRecord::putIfPresent(json, "button", button);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void PushOpened::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("pushId", pushId)
        .add("button", button)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
