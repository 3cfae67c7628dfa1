#include "backend/UserIdentifiers.hpp"

#include "foundation/JsonObjectReader.hpp"
#include "records/DecodingError.hpp"

namespace mvk {

std::optional<UserIdentifiers> UserIdentifiers::fromJson(const nlohmann::json& json,
                                                         std::string* error) {
    JsonObjectReader reader(json);
    UserIdentifiers identifiers{
        .morvanixId = reader.optionalInt("morvanixId"),
        .crossPlatformMorvanixId = reader.optionalInt("crossPlatformMorvanixId"),
        .morvanixIdTimestamp = reader.optionalInt("morvanixIdTimestamp"),
    };
    if (!reader.ok()) {
        DecodingError::describe(reader, "UserIdentifiers", error);
        return std::nullopt;
    }
    return identifiers;
}

nlohmann::ordered_json UserIdentifiers::toJson() const {
    auto json = nlohmann::ordered_json::object();
    if (morvanixId) {
        json["morvanixId"] = *morvanixId;
    }
    if (crossPlatformMorvanixId) {
        json["crossPlatformMorvanixId"] = *crossPlatformMorvanixId;
    }
    if (morvanixIdTimestamp) {
        json["morvanixIdTimestamp"] = *morvanixIdTimestamp;
    }
    return json;
}

std::string UserIdentifiers::description() const {
    std::string text;
    const std::pair<const char*, const std::optional<std::int64_t>*> fields[] = {
        {"\tmorvanixId: ", &morvanixId},
        {"\n\tcrossPlatformMorvanixId: ", &crossPlatformMorvanixId},
        {"\n\tmorvanixIdTimestamp: ", &morvanixIdTimestamp},
    };
    for (const auto& [label, value] : fields) {
        if (*value) {
            text += label;
            text += std::to_string(**value);
        }
    }
    return text.empty() ? "Empty failed" : text;
}

}  // namespace mvk
