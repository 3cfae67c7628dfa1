#include "events/Referral.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void Referral::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    EventRecord::putIfPresent(json, "source", source);
    EventRecord::putIfPresent(json, "campaign", campaign);
    EventRecord::putIfPresent(json, "content", content);
    EventRecord::putIfPresent(json, "medium", medium);
    EventRecord::putIfPresent(json, "term", term);
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void Referral::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("source", source)
        .add("campaign", campaign)
        .add("content", content)
        .add("medium", medium)
        .add("term", term)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
