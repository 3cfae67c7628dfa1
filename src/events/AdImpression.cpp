#include "events/AdImpression.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void AdImpression::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["source"] = source;
    json["ad_network"] = network;
    EventRecord::putIfPresent(json, "placement", placement);
    EventRecord::putIfPresent(json, "ad_unit", unit);
    json["revenue"] = revenue;
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void AdImpression::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("network", network)
        .add("revenue", revenue)
        .add("source", source)
        .add("placement", placement)
        .add("unit", unit)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
