#include "records/InvolvedExperimentsContainer.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<InvolvedExperimentsContainer> InvolvedExperimentsContainer::fromJson(
    const nlohmann::json& json) {
    JsonObjectReader reader(json);
    const nlohmann::json* list = reader.requiredValue("involvedExperiments");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto experiments = decodeJsonValue<std::vector<InvolvedExperiment>>(*list);
    if (!experiments) {
        return std::nullopt;
    }
    return InvolvedExperimentsContainer{std::move(*experiments)};
}

nlohmann::ordered_json InvolvedExperimentsContainer::toJson() const {
    auto list = nlohmann::ordered_json::array();
    for (const auto& experiment : involvedExperiments) {
        list.push_back(experiment.toJson());
    }
    return nlohmann::ordered_json{{"involvedExperiments", std::move(list)}};
}

}  // namespace mvk
