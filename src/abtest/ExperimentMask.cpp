#include "abtest/ExperimentMask.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ExperimentMask> ExperimentMask::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto experimentId = reader.requiredInt("experimentId");
    const nlohmann::json* keys = reader.requiredValue("eventKeysMask");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto codes = JsonObjectReader::asStringList(*keys);
    if (!codes) {
        return std::nullopt;
    }
    return ExperimentMask{.experimentId = *experimentId, .eventKeysMask = std::move(*codes)};
}

nlohmann::ordered_json ExperimentMask::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["experimentId"] = experimentId;
    json["eventKeysMask"] = eventKeysMask;
    return json;
}

}  // namespace mvk
