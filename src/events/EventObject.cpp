#include "events/EventObject.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"

namespace mvk {

std::optional<EventObject> EventObject::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto code = cursor.text(1);
    auto userId = cursor.integer(2);
    auto json = cursor.text(3);
    if (!idKey || !code || !userId || !json) {
        return std::nullopt;
    }
    return EventObject(std::move(*code), *idKey, *userId, std::move(*json));
}

nlohmann::ordered_json EventObject::toJsonValue() const {
    nlohmann::ordered_json value = nlohmann::ordered_json::object();
    value["code"] = code;
    value["idKey"] = idKey;
    value["userId"] = userId;
    value["json"] = json;
    return value;
}

std::string EventObject::toJson() const {
    return dumpJson(toJsonValue());
}

std::optional<EventObject> EventObject::fromJsonValue(const nlohmann::json& value) {
    JsonObjectReader reader(value);
    auto code = reader.requiredString("code");
    auto idKey = reader.requiredInt("idKey");
    auto userId = reader.requiredInt("userId");
    auto json = reader.requiredString("json");
    if (!reader.ok()) {
        return std::nullopt;
    }
    return EventObject(std::move(*code), *idKey, *userId, std::move(*json));
}

std::optional<EventObject> EventObject::fromJson(std::string_view text) {
    auto value = parseJson(text);
    if (!value) {
        return std::nullopt;
    }
    return fromJsonValue(*value);
}

}  // namespace mvk
