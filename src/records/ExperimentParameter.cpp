#include "records/ExperimentParameter.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ExperimentParameter> ExperimentParameter::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto key = reader.requiredString("key");
    const nlohmann::json* valuesJson = reader.requiredValue("values");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto values = JsonCodec<std::map<std::string, AnyCodable>>::decode(*valuesJson);
    if (!values) {
        return std::nullopt;
    }
    return ExperimentParameter{.key = std::move(*key), .values = std::move(*values)};
}

std::optional<nlohmann::ordered_json> ExperimentParameter::toJson() const {
    auto valuesJson = JsonCodec<std::map<std::string, AnyCodable>>::encode(values);
    if (!valuesJson) {
        return std::nullopt;
    }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["key"] = key;
    json["values"] = std::move(*valuesJson);
    return json;
}

}  // namespace mvk
