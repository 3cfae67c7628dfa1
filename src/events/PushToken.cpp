#include "events/PushToken.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void PushToken::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["isAllowed"] = isAllowed;
    json["token"] = token;
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void PushToken::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("isAllowed", isAllowed)
        .add("token", token)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
