#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// Deletes the rows of `table` whose `column` is among `values`: one
/// statement for a short list, else statements of at most `perStatement`
/// values inside one transaction, all or none. Kept out of the repository
/// template so that every table shares one copy of it.
bool deleteRowsIn(DatabaseProtocol& database, std::string_view table, std::string_view column,
                  const std::vector<std::int64_t>& values, std::size_t perStatement);

}  // namespace mvk
