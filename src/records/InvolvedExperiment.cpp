#include "records/InvolvedExperiment.hpp"

#include "foundation/JsonObjectReader.hpp"
#include "records/ExperimentMarker.hpp"

namespace mvk {

std::optional<InvolvedExperiment> InvolvedExperiment::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto id = reader.requiredInt("id");
    auto group = reader.requiredString("group");
    if (!reader.ok() || !ExperimentMarker::isGroupWithinBounds(*group)) {
        return std::nullopt;
    }
    return InvolvedExperiment{*id, std::move(*group)};
}

nlohmann::ordered_json InvolvedExperiment::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["id"] = id;
    json["group"] = group;
    return json;
}

}  // namespace mvk
