#include "records/ExcludeEvents.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

using EventValues = std::map<std::string, AnyCodable::Array>;

}  // namespace

std::optional<ExcludeEvents> ExcludeEvents::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    ExcludeEvents exclude;
    auto version = reader.requiredInt("version");
    exclude.all = reader.optionalBool("all");
    if (const auto* events = reader.optionalValue("events")) {
        exclude.events = decodeJsonValue<EventValues>(*events);
        if (!exclude.events) {
            return std::nullopt;
        }
    }
    if (!reader.ok()) {
        return std::nullopt;
    }
    exclude.version = *version;
    return exclude;
}

std::optional<nlohmann::ordered_json> ExcludeEvents::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["version"] = version;
    if (all) {
        json["all"] = *all;
    }
    if (events) {
        auto encoded = encodeJson(*events);
        if (!encoded) {
            return std::nullopt;
        }
        json["events"] = std::move(*encoded);
    }
    return json;
}

}  // namespace mvk
