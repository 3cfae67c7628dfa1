#include "records/SuitableExperiments.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<SuitableExperiments> SuitableExperiments::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    const nlohmann::json* ids = reader.requiredValue("suitableExperiments");
    if (!reader.ok() || !ids->is_array()) {
        return std::nullopt;
    }
    SuitableExperiments result;
    result.suitableExperiments.reserve(ids->size());
    for (const auto& element : *ids) {
        auto id = JsonObjectReader::asInt(element);
        if (!id) {
            return std::nullopt;
        }
        result.suitableExperiments.push_back(*id);
    }
    return result;
}

nlohmann::ordered_json SuitableExperiments::toJson() const {
    return nlohmann::ordered_json{{"suitableExperiments", suitableExperiments}};
}

}  // namespace mvk
