#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "storage/Cursor.hpp"

namespace mvk {

/// One stored event: a row of "events" (columns id, code, userId, eventJson),
/// or an event about to be stored or sent at once.
class EventObject {
  public:
    EventObject(std::string code, std::int64_t idKey, std::int64_t userId, std::string json)
        : code(std::move(code)), idKey(idKey), userId(userId), json(std::move(json)) {}

    std::string code;
    /// The row id; -1 for an event not read from the table.
    std::int64_t idKey;
    /// The owning user's row id; -1 for an event sent without storing.
    std::int64_t userId;
    /// The record's JSON text, as its `getJson()` gave it.
    std::string json;

    /// id INTEGER, code TEXT, userId INTEGER, eventJson TEXT; absent when a
    /// column has another type (NULL included), so the query skips the row.
    static std::optional<EventObject> fromCursor(const Cursor& cursor);

    /// The object's own JSON form: {"code", "idKey", "userId", "json"} in that order.
    nlohmann::ordered_json toJsonValue() const;
    std::string toJson() const;

    /// Reads the JSON form strictly: every key is required with its type;
    /// numbers must be integers in range (no bools). Absent on any failure.
    static std::optional<EventObject> fromJsonValue(const nlohmann::json& value);
    static std::optional<EventObject> fromJson(std::string_view text);

    bool operator==(const EventObject&) const = default;
};

}  // namespace mvk
