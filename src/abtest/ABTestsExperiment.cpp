#include "abtest/ABTestsExperiment.hpp"

#include "foundation/JsonCoding.hpp"

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

}  // namespace mvk
