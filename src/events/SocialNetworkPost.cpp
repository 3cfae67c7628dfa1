#include "events/SocialNetworkPost.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void SocialNetworkPost::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["socialNetwork"] = socialNetwork;
    json["postReason"] = postReason;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void SocialNetworkPost::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("socialNetwork", socialNetwork)
        .add("postReason", postReason)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
