#include "events/TesterMark.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void TesterMark::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["tester"] = tester;
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void TesterMark::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("tester", tester)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
