#include "records/Comparison.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<Comparison> Comparison::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto key = reader.requiredString("key");
    if (!reader.ok()) {
        return std::nullopt;
    }
    // The reader treats null as missing; here only a missing key is an error.
    auto valueJson = json.find("value");
    if (valueJson == json.end()) {
        return std::nullopt;
    }
    auto value = AnyCodable::fromJson(*valueJson);
    if (!value) {
        return std::nullopt;
    }
    return Comparison{.key = std::move(*key), .value = std::move(*value)};
}

std::optional<nlohmann::ordered_json> Comparison::toJson() const {
    auto valueJson = value.toJson();
    if (!valueJson) {
        return std::nullopt;
    }
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["key"] = key;
    json["value"] = std::move(*valueJson);
    return json;
}

}  // namespace mvk
