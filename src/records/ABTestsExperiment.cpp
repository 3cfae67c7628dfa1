#include "records/ABTestsExperiment.hpp"

#include "records/ExperimentConditionTree.hpp"
#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

std::optional<ABTestsExperiment> ABTestsExperiment::fromCursor(const Cursor& cursor) {
    std::int64_t keys[6];
    for (int column = 0; column < 6; ++column) {
        auto value = cursor.integer(column);
        if (!value) {
            return std::nullopt;
        }
        keys[column] = *value;
    }
    ABTestsExperiment row{.idKey = keys[0],
                          .projectId = keys[1],
                          .experimentId = keys[2],
                          .creationDate = keys[3],
                          .updateDate = keys[4],
                          .completionDate = keys[5]};
    row.isTesting = cursor.integer(6).value_or(0) > 0;
    if (auto text = cursor.text(7)) {
        row.parameters = decodeJson<std::vector<ExperimentParameter>>(*text).value_or(
            std::vector<ExperimentParameter>{});
    }
    if (auto text = cursor.text(8)) {
        row.conditions = decodeJson<std::vector<ExperimentCondition>>(*text).value_or(
            std::vector<ExperimentCondition>{});
    }
    return row;
}

std::optional<nlohmann::ordered_json> ABTestsExperiment::toJson() const {
    auto conditionsJson = encodeJson(conditions);
    auto parametersJson = encodeJson(parameters);
    if (!conditionsJson || !parametersJson) {
        return std::nullopt;
    }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["conditions"] = std::move(*conditionsJson);
    json["parameters"] = std::move(*parametersJson);
    json["id"] = experimentId;
    json["creationDate"] = creationDate;
    json["completionDate"] = completionDate;
    json["updateDate"] = updateDate;
    json["isTesting"] = isTesting;
    return json;
}

std::optional<ABTestsExperiment> ABTestsExperiment::fromGatewayJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto experimentId = reader.requiredInt("id");
    auto creationDate = reader.requiredInt("creationDate");
    auto completionDate = reader.requiredInt("completionDate");
    auto updateDate = reader.requiredInt("updateDate");
    auto isTesting = reader.requiredBool("isTesting");
    const nlohmann::json* parametersJson = reader.requiredValue("parameters");
    const nlohmann::json* conditionsJson = reader.requiredValue("conditions");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto parameters = decodeJsonValue<std::vector<ExperimentParameter>>(*parametersJson);
    auto conditionObjects = decodeJsonValue<std::vector<AnyCodable::Object>>(*conditionsJson);
    if (!parameters || !conditionObjects) {
        return std::nullopt;
    }

    ABTestsExperiment experiment{.experimentId = *experimentId,
                                 .creationDate = *creationDate,
                                 .updateDate = *updateDate,
                                 .completionDate = *completionDate,
                                 .isTesting = *isTesting,
                                 .parameters = std::move(*parameters)};
    for (const auto& object : *conditionObjects) {
        const AnyCodable* code = object.find("code");
        if (code == nullptr || !code->isString()) {
            code = object.find("type");
        }
        if (code == nullptr || !code->isString()) {
            Logger::writeLog(MVKLogLevel::error,
                             "[A/B-Test Module] Parsing: Not supported condition object!");
            continue;
        }
        auto flattened = ExperimentConditionTree::flatten(*code->asString(), object);
        experiment.conditions.insert(experiment.conditions.end(),
                                     std::make_move_iterator(flattened.begin()),
                                     std::make_move_iterator(flattened.end()));
    }
    return experiment;
}

std::string ABTestsExperiment::debugDescription() const {
    std::string conditionTexts;
    for (const auto& condition : conditions) {
        if (!conditionTexts.empty()) {
            conditionTexts += ",";
        }
        conditionTexts += "\n\t\t\t[eventCode: " + condition.eventCode + "\n\t\t\tcondition: " +
                          (condition.searchPath.empty() ? "" : condition.searchPath.back()) + " " +
                          condition.comparison.key + " " +
                          condition.comparison.value.description() + "]";
    }
    return "\n\t\t[experiment: " + std::to_string(experimentId) +
           "\n\t\tupdateDate: " + std::to_string(updateDate) +
           "\n\t\tcreationDate: " + std::to_string(creationDate) +
           "\n\t\tcompletionDate: " + std::to_string(completionDate) +
           "\n\t\tconditions: " + conditionTexts + "]";
}

}  // namespace mvk
