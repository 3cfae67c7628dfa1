#include "events/EventRecord.hpp"

#include "events/StorableEncoder.hpp"
#include "platform/Clock.hpp"

namespace mvk {

EventRecord::EventRecord(std::string_view code) : EventRecord(code, Clock::nowMillis()) {}

EventRecord::EventRecord(std::string_view code, std::int64_t timestamp)
    : code_(code), timestamp_(timestamp) {}

nlohmann::ordered_json EventRecord::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["code"] = code_;
    json["timestamp"] = timestamp_;
    encodeFields(json);
    return json;
}

std::string EventRecord::getJson() const {
    try {
        return StorableEncoder::encode(toJson(), *this);
    } catch (const std::exception& error) {
        // Encoding is the record's own code; whatever it throws must not leave a queued block.
        StorableEncoder::logFailure(*this, error.what());
        return "";
    }
}

std::string EventRecord::description() const {
    EventDescription text;
    text.add("code", code_).add("timestamp", timestamp_);
    describeFields(text);
    return text.text();
}

}  // namespace mvk
