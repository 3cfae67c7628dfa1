#include "records/ABTestUserProperties.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<ABTestUserProperties> ABTestUserProperties::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto country = reader.optionalString("country");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return ABTestUserProperties{.country = std::move(country)};
}

nlohmann::ordered_json ABTestUserProperties::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    if (country) {
        json["country"] = *country;
    }
    return json;
}

}  // namespace mvk
