#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "storage/SQLiteValue.hpp"

namespace mvk {

/// The parts of a SELECT on one table; absent parts are left out of the SQL,
/// a given but empty text still brings its keyword. Built with designated
/// initialisers, e.g. `{.tableName = "events", .selection = "userId = ?",
/// .selectionArgs = std::vector<SQLiteValue>{7}}`; every member has an
/// initialiser so that leaving one out is not a warning.
struct SelectQuery {
    std::string tableName;
    /// Column names; absent or empty selects "*".
    std::optional<std::vector<std::string>> projection{};
    std::optional<std::string> join{};
    /// A WHERE text with "?" placeholders for `selectionArgs`.
    std::optional<std::string> selection{};
    std::optional<std::vector<SQLiteValue>> selectionArgs{};
    std::optional<std::string> groupBy{};
    std::optional<std::string> sortOrder{};
    std::optional<std::int64_t> limit{};
};

}  // namespace mvk
