#include "events/SocialNetworkConnect.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void SocialNetworkConnect::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["socialNetwork"] = socialNetwork;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void SocialNetworkConnect::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("socialNetwork", socialNetwork)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
