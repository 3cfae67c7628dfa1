#pragma once

#include <concepts>
#include <optional>
#include <vector>

#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"
#include "storage/SelectQuery.hpp"

namespace mvk {

/// A row type: built from the current result row, or absent to skip the row
/// (a required column of another type). Readers take the columns of
/// "SELECT *" by position.
template <typename T>
concept SQLiteConvertible = requires(const Cursor& cursor) {
    { T::fromCursor(cursor) } -> std::same_as<std::optional<T>>;
};

/// The rows of `select` that `T` accepts, in SQLite's order; absent when the
/// query failed, so a caller never mistakes part of a table, or none of it,
/// for all of it.
template <SQLiteConvertible T>
std::optional<std::vector<T>> query(DatabaseProtocol& database, const SelectQuery& select) {
    std::vector<T> rows;
    const bool complete = database.queryRows(select, [&rows](const Cursor& cursor) {
        if (auto row = T::fromCursor(cursor)) {
            rows.push_back(std::move(*row));
        }
    });
    if (!complete) {
        return std::nullopt;
    }
    return rows;
}

}  // namespace mvk
