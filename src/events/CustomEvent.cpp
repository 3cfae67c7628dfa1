#include "events/CustomEvent.hpp"

#include "events/EventRecord.hpp"

#include <stdexcept>

namespace mvk {

namespace {

nlohmann::ordered_json parametersJson(const AnyCodable::Object& parameters) {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    for (const auto& [key, value] : parameters) {
        // A plain number goes in as it is, so that a NaN or an infinity is
        // reported like any other record's.
        if (auto number = value.asDouble()) {
            appendDistinctKey(json, key, *number);
        } else if (auto encoded = value.toJson()) {
            appendDistinctKey(json, key, std::move(*encoded));
        } else {
            throw std::invalid_argument("The value of the parameter \"" + key +
                                        "\" cannot be written as JSON");
        }
    }
    return json;
}

}  // namespace

void CustomEvent::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["level"] = level;
    json["name"] = name;
    if (parameters && !parameters->empty()) {
        json["parameters"] = parametersJson(*parameters);
    }
    EventRecord::putIfPresent(json, "inProgress", inProgress);
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

bool CustomEvent::writeFields(JsonTextWriter& writer) const {
    writer.key("sessionId");
    writer.integer(sessionId);
    writer.key("level");
    writer.integer(level);
    writer.key("name");
    writer.string(name);
    if (parameters && !parameters->empty()) {
        writer.key("parameters");
        writer.beginObject();
        for (const auto& [key, value] : *parameters) {
            writer.key(key);
            if (!writer.scalar(value)) {
                return false;
            }
        }
        writer.endObject();
    }
    if (inProgress) {
        writer.key("inProgress");
        writer.beginArray();
        for (const auto& step : *inProgress) {
            writer.string(step);
        }
        writer.endArray();
    }
    if (inExperiments) {
        writer.key("inExperiments");
        writer.string(*inExperiments);
    }
    return true;
}

void CustomEvent::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId)
        .add("level", level)
        .add("name", name)
        .addDictionary("parameters", "parameter key", "value", parameters)
        .add("inProgress", inProgress)
        .add("inExperiments", inExperiments);
}

}  // namespace mvk
