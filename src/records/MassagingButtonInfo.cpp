#include "records/MassagingButtonInfo.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

namespace {

std::optional<MassagingButtonInfo> decodeButton(const nlohmann::json& json, bool modeKeyRequired) {
    if (modeKeyRequired && (!json.is_object() || !json.contains("activationMode"))) {
        return std::nullopt;
    }
    JsonObjectReader reader(json);
    auto id = reader.requiredString("id");
    auto text = reader.requiredString("text");
    auto mode = reader.optionalString("activationMode");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return MassagingButtonInfo{
        .id = std::move(*id), .text = std::move(*text), .activationMode = std::move(mode)};
}

}  // namespace

std::optional<MassagingButtonInfo> MassagingButtonInfo::fromJson(const nlohmann::json& json) {
    return decodeButton(json, true);
}

std::optional<MassagingButtonInfo> MassagingButtonInfo::fromStoredJson(const nlohmann::json& json) {
    return decodeButton(json, false);
}

std::optional<std::vector<MassagingButtonInfo>> MassagingButtonInfo::listFromStoredJson(
    std::string_view text) {
    auto json = parseJson(text);
    if (!json || !json->is_array()) {
        return std::nullopt;
    }
    std::vector<MassagingButtonInfo> buttons;
    buttons.reserve(json->size());
    for (const auto& element : *json) {
        auto button = fromStoredJson(element);
        if (!button) {
            return std::nullopt;
        }
        buttons.push_back(std::move(*button));
    }
    return buttons;
}

nlohmann::ordered_json MassagingButtonInfo::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["id"] = id;
    json["text"] = text;
    if (activationMode) {
        json["activationMode"] = *activationMode;
    }
    return json;
}

}  // namespace mvk
