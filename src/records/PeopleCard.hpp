#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "events/PeopleValueType.hpp"
#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// The user card of one user: one row of "peopleCards". The row cache and the
/// user-card service share one object and change it in place.
struct PeopleCard {
    /// An empty card not stored yet.
    explicit PeopleCard(std::int64_t userId) : userId(userId) {}

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// Row id of the owning user in "users".
    std::int64_t userId;
    /// `properties` as stored: a JSON object text, "" for a new card, or
    /// "Not a valid JSON" when they could not be written.
    std::string json;
    /// The card itself; only `json` is stored.
    PeopleProperties properties;
    /// Names changed since the last user-card event, first change first.
    std::vector<std::string> changedKeys;
    /// The card changed since the last user-card event.
    bool updated = false;
    /// The card was cleared and the clearing is not sent yet.
    bool cleared = false;

    /// Writes `properties` into `json`.
    void encodeProperties() { json = encodePeopleProperties(properties); }

    /// Columns id, userId, json, updated, cleared, changedKeys. Absent when
    /// the id or user id is not an integer or the json not a text; the other
    /// columns never make the read fail.
    static std::optional<PeopleCard> fromCursor(const Cursor& cursor);

    /// Every column but the id, for an insert or an update.
    ContentValues contentValues() const;

    /// The changed-keys column: the names joined by ",", or a JSON array of
    /// them when a name holds "," or the joined text would look like an array.
    static std::string changedKeysText(const std::vector<std::string>& keys);
    /// Reads either form; empty names are dropped.
    static std::vector<std::string> parseChangedKeys(std::string_view text);
};

}  // namespace mvk
