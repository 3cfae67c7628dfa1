#include "records/RemoteConfig.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<RemoteConfig> RemoteConfig::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    const nlohmann::json* experimentsJson = reader.optionalValue("experiments");
    auto version = reader.requiredInt("version");
    const nlohmann::json* propertiesJson = reader.requiredValue("userProperties");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto userProperties = ABTestUserProperties::fromJson(*propertiesJson);
    if (!userProperties) {
        return std::nullopt;
    }
    RemoteConfig config{.version = *version, .userProperties = std::move(*userProperties)};
    if (experimentsJson != nullptr) {
        if (!experimentsJson->is_array()) {
            return std::nullopt;
        }
        config.experiments.reserve(experimentsJson->size());
        for (const auto& element : *experimentsJson) {
            auto experiment = ABTestsExperiment::fromGatewayJson(element);
            if (!experiment) {
                return std::nullopt;
            }
            config.experiments.push_back(std::move(*experiment));
        }
    }
    return config;
}

std::optional<nlohmann::ordered_json> RemoteConfig::toJson() const {
    auto experimentsJson = encodeJson(experiments);
    if (!experimentsJson) {
        return std::nullopt;
    }
    auto json = nlohmann::ordered_json::object();
    json["experiments"] = std::move(*experimentsJson);
    json["version"] = version;
    json["userProperties"] = userProperties.toJson();
    return json;
}

}  // namespace mvk
