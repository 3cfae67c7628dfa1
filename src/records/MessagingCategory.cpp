#include "records/MessagingCategory.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<MessagingCategory> MessagingCategory::fromCursor(const Cursor& cursor) {
    auto id = cursor.integer(0);
    auto identifier = cursor.text(1);
    auto buttonsText = cursor.text(2);
    if (!id || !identifier || !buttonsText) {
        return std::nullopt;
    }
    auto buttons = MassagingButtonInfo::listFromStoredJson(*buttonsText);
    if (!buttons) {
        return std::nullopt;
    }
    return MessagingCategory{
        .idKey = *id, .id = std::move(*identifier), .buttons = std::move(*buttons)};
}

std::optional<MessagingCategory> MessagingCategory::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto id = reader.requiredString("id");
    const nlohmann::json* buttonsJson = reader.requiredValue("buttons");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto buttons = JsonCodec<std::vector<MassagingButtonInfo>>::decode(*buttonsJson);
    if (!buttons) {
        return std::nullopt;
    }
    return MessagingCategory{.id = std::move(*id), .buttons = std::move(*buttons)};
}

nlohmann::ordered_json MessagingCategory::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = id;
    auto& buttonsJson = json["buttons"] = nlohmann::ordered_json::array();
    for (const auto& button : buttons) {
        buttonsJson.push_back(button.toJson());
    }
    return json;
}

}  // namespace mvk
