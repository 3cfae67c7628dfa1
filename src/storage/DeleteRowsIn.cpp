#include "storage/DeleteRowsIn.hpp"

#include <algorithm>

#include "storage/SQLiteValue.hpp"
#include "storage/SqlSelection.hpp"

namespace mvk {

namespace {

bool deleteChunk(DatabaseProtocol& database, std::string_view table, std::string_view column,
                 std::vector<std::int64_t>::const_iterator first,
                 std::vector<std::int64_t>::const_iterator last) {
    const std::vector<SQLiteValue> arguments(first, last);
    return database.deleteRows(table, sqlSelectionIn(column, arguments.size()), arguments)
        .has_value();
}

/// Every chunk, stopping at the first that fails.
bool deleteChunks(DatabaseProtocol& database, std::string_view table, std::string_view column,
                  const std::vector<std::int64_t>& values, std::size_t perStatement) {
    for (auto first = values.begin(); first != values.end();) {
        const auto count = std::min<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(perStatement),
                                                    values.end() - first);
        if (!deleteChunk(database, table, column, first, first + count)) {
            return false;
        }
        first += count;
    }
    return true;
}

}  // namespace

bool deleteRowsIn(DatabaseProtocol& database, std::string_view table, std::string_view column,
                  const std::vector<std::int64_t>& values, std::size_t perStatement) {
    if (values.size() <= perStatement) {
        return deleteChunk(database, table, column, values.begin(), values.end());
    }
    return database.transaction(
        [&] { return deleteChunks(database, table, column, values, perStatement); });
}

}  // namespace mvk
