#include "records/ExperimentMarker.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ExperimentMarker> ExperimentMarker::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto id = reader.requiredInt("id");
    auto group = reader.requiredString("group");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return ExperimentMarker{.idKey = *id, .group = std::move(*group)};
}

nlohmann::ordered_json ExperimentMarker::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = idKey;
    json["group"] = group;
    return json;
}

}  // namespace mvk
