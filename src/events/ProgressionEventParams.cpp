#include "events/ProgressionEventParams.hpp"

namespace mvk {

ProgressionEventParams ProgressionEventParams::finishing(const Location& location, bool success,
                                                         std::int64_t givenDuration,
                                                         std::int64_t nowMillis) {
    return ProgressionEventParams{.success = success,
                                  .duration = givenDuration > 0
                                                  ? std::optional(givenDuration)
                                                  : location.elapsedSeconds(nowMillis),
                                  .difficulty = location.difficulty,
                                  .source = location.source};
}

nlohmann::ordered_json ProgressionEventParams::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["success"] = success;
    if (duration) {
        json["duration"] = *duration;
    }
    if (difficulty) {
        json["difficulty"] = *difficulty;
    }
    if (source) {
        json["source"] = *source;
    }
    return json;
}

void ProgressionEventParams::describe(EventDescription& text) const {
    std::string block = "\t parameters:\n\t\t success: ";
    block += success ? "true" : "false";
    block += '\n';
    if (duration) {
        block += "\t\t duration: " + std::to_string(*duration) + '\n';
    }
    if (difficulty) {
        block += "\t\t difficulty: " + std::to_string(*difficulty) + '\n';
    }
    if (source) {
        block += "\t\t source: " + *source + '\n';
    }
    text.append(block);
}

}  // namespace mvk
