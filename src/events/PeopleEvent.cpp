#include "events/PeopleEvent.hpp"

#include "events/EventRecord.hpp"

#include <map>

namespace mvk {

namespace {

nlohmann::ordered_json propertiesJson(const PeopleProperties& properties) {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [key, value] : properties) {
        // Only a NaN or infinite double has no JSON form; it goes in as it is
        // so that the record fails to encode like any other.
        auto encoded = value.toJson();
        appendDistinctKey(json, key,
                          encoded ? std::move(*encoded) : nlohmann::ordered_json(value.toDouble()));
    }
    return json;
}

}  // namespace

void PeopleEvent::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["parameters"] = parameters ? propertiesJson(*parameters) : nlohmann::ordered_json(nullptr);
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void PeopleEvent::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId).add("level", level);
    if (parameters) {
        std::map<std::string, std::string> printed;
        for (const auto& [key, value] : *parameters) {
            printed.emplace(key, value.description());
        }
        text.addDictionary("parameters", "parameter key", "value", printed);
    }
    text.add("inProgress", inProgress).add("inExperiments", inExperiments);
}

}  // namespace mvk
