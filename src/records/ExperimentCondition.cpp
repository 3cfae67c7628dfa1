#include "records/ExperimentCondition.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ExperimentCondition> ExperimentCondition::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto eventCode = reader.requiredString("eventCode");
    const nlohmann::json* pathJson = reader.requiredValue("searchPath");
    auto typeText = reader.requiredString("conditionsType");
    const nlohmann::json* comparisonJson = reader.requiredValue("comparison");
    auto isChecked = reader.requiredBool("isChecked");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto searchPath = JsonObjectReader::asStringList(*pathJson);
    auto type = ConditionsTypeFromRawValue(*typeText);
    auto comparison = Comparison::fromJson(*comparisonJson);
    if (!searchPath || !type || !comparison) {
        return std::nullopt;
    }
    return ExperimentCondition{.eventCode = std::move(*eventCode),
                               .searchPath = std::move(*searchPath),
                               .conditionsType = *type,
                               .comparison = std::move(*comparison),
                               .isChecked = *isChecked};
}

std::optional<nlohmann::ordered_json> ExperimentCondition::toJson() const {
    auto comparisonJson = comparison.toJson();
    if (!comparisonJson) {
        return std::nullopt;
    }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["eventCode"] = eventCode;
    json["searchPath"] = searchPath;
    json["conditionsType"] = std::string(rawValue(conditionsType));
    json["comparison"] = std::move(*comparisonJson);
    json["isChecked"] = isChecked;
    return json;
}

}  // namespace mvk
