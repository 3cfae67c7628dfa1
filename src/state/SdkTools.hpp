#pragma once

#include <cstdint>
#include <optional>

#include "events/PeopleValueType.hpp"
#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// Facts about the library kept once per database, such as "sdkVersion", the
/// SDK version that last ran: the one row of "sdkTools".
struct SdkTools {
    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    PeopleProperties properties;

    /// Columns id and metadata (the properties as a JSON object text). Absent
    /// when the id is not an integer or the metadata not a text; an empty
    /// text, or one that is no JSON object, gives no properties.
    static std::optional<SdkTools> fromCursor(const Cursor& cursor);

    /// The metadata column, for an insert or an update.
    ContentValues contentValues() const;
};

}  // namespace mvk
