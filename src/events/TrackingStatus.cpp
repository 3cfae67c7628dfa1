#include "events/TrackingStatus.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void TrackingStatus::encodeFields(nlohmann::ordered_json& json) const {
    json["trackingAllowed"] = trackingAllowed;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void TrackingStatus::describeFields(EventDescription& text) const {
    text.add("trackingAllowed", trackingAllowed)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
