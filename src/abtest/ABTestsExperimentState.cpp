#include "abtest/ABTestsExperimentState.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ABTestsExperimentState> ABTestsExperimentState::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto experimentId = cursor.integer(2);
    if (!id || !userId || !experimentId) {
        return std::nullopt;
    }
    ABTestsExperimentState row{.idKey = *id, .userId = *userId, .experimentId = *experimentId};
    row.runAbility = cursor.integer(3).value_or(0) > 0;
    if (auto text = cursor.text(4)) {
        row.involvement = decodeJson<ExperimentMarker>(*text);
    }
    return row;
}

std::optional<ABTestsExperimentState> ABTestsExperimentState::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto id = reader.requiredInt("idKey");
    auto userId = reader.requiredInt("userId");
    auto experimentId = reader.requiredInt("experimentId");
    auto runAbility = reader.requiredBool("runAbility");
    const nlohmann::json* involvementJson = reader.optionalValue("involvement");
    if (!reader.ok()) {
        return std::nullopt;
    }
    ABTestsExperimentState state{
        .idKey = *id, .userId = *userId, .experimentId = *experimentId, .runAbility = *runAbility};
    if (involvementJson != nullptr) {
        state.involvement = ExperimentMarker::fromJson(*involvementJson);
        if (!state.involvement) {
            return std::nullopt;
        }
    }
    return state;
}

nlohmann::ordered_json ABTestsExperimentState::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["idKey"] = idKey;
    json["userId"] = userId;
    json["experimentId"] = experimentId;
    json["runAbility"] = runAbility;
    if (involvement) {
        json["involvement"] = involvement->toJson();
    }
    return json;
}

}  // namespace mvk
