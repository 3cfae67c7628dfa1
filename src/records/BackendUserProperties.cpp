#include "records/BackendUserProperties.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<BackendUserProperties> BackendUserProperties::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    BackendUserProperties properties{.country = reader.optionalString("country")};
    if (!reader.ok()) {
        return std::nullopt;
    }
    return properties;
}

nlohmann::ordered_json BackendUserProperties::toJson() const {
    auto json = nlohmann::ordered_json::object();
    if (country) {
        json["country"] = *country;
    }
    return json;
}

}  // namespace mvk
