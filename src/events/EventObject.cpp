#include "events/EventObject.hpp"

#include <cmath>

namespace mvk {

namespace {

// Deeper documents are refused before they are built: their destruction and
// any recursive walk over them would use the stack in proportion.
constexpr int maximumDepth = 128;

std::optional<nlohmann::json> parseLimited(std::string_view text) {
    bool tooDeep = false;
    auto value = nlohmann::json::parse(
        text,
        [&tooDeep](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
            if (depth > maximumDepth && (event == nlohmann::json::parse_event_t::object_start ||
                                         event == nlohmann::json::parse_event_t::array_start)) {
                tooDeep = true;
                return false;
            }
            return true;
        },
        false);
    if (tooDeep || value.is_discarded()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int64_t> strictInteger(const nlohmann::json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number <= static_cast<std::uint64_t>(INT64_MAX)) {
            return static_cast<std::int64_t>(number);
        }
        return std::nullopt;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        // 2^63 itself is out of range; every double below it converts exactly.
        if (std::isfinite(number) && std::trunc(number) == number &&
            number >= -9223372036854775808.0 && number < 9223372036854775808.0) {
            return static_cast<std::int64_t>(number);
        }
    }
    return std::nullopt;
}

const nlohmann::json* member(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

}  // namespace

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
    return toJsonValue().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::optional<EventObject> EventObject::fromJsonValue(const nlohmann::json& value) {
    if (!value.is_object()) {
        return std::nullopt;
    }
    const auto* code = member(value, "code");
    const auto* idKey = member(value, "idKey");
    const auto* userId = member(value, "userId");
    const auto* json = member(value, "json");
    if (code == nullptr || idKey == nullptr || userId == nullptr || json == nullptr ||
        !code->is_string() || !json->is_string()) {
        return std::nullopt;
    }
    auto id = strictInteger(*idKey);
    auto user = strictInteger(*userId);
    if (!id || !user) {
        return std::nullopt;
    }
    return EventObject(code->get<std::string>(), *id, *user, json->get<std::string>());
}

std::optional<EventObject> EventObject::fromJson(std::string_view text) {
    auto value = parseLimited(text);
    if (!value) {
        return std::nullopt;
    }
    return fromJsonValue(*value);
}

}  // namespace mvk
