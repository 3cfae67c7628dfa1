#pragma once

#include <optional>
#include <string>

#include "foundation/ClampedAmount.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

/// Stores `record` as a new row when its key has no `stored` row, or adds its
/// amount to that row, held at the 32-bit bounds with a level-2 line. `tag`
/// names the kind in the log lines ("CA", "LU"); `touch` brings a summed row
/// up to date beyond its amount. Answers the row as it now stands in the
/// table, or none when it could not be written.
template <class Row, class Repository, class Touch>
std::optional<Row> storeOrSum(Repository& repository, const Row* stored, const Row& record,
                              const std::string& tag, Touch touch) {
    if (stored == nullptr) {
        const auto id = repository.insert(record);
        if (!id) {
            return std::nullopt;
        }
        Logger::writeLog(MVKLogLevel::debug,
                         "Insert " + tag + " resources: \n" + record.description() + " ");
        Row inserted = record;
        inserted.idKey = *id;
        return inserted;
    }
    const auto sum = ClampedAmount::sum(stored->amount, record.amount);
    if (sum.overflowed) {
        Logger::writeLog(MVKLogLevel::error, tag + " resource: " + stored->name + " is overflowed");
    }
    Row updated = *stored;
    updated.amount = sum.value;
    touch(updated);
    if (!repository.update(updated)) {
        return std::nullopt;
    }
    Logger::writeLog(MVKLogLevel::debug,
                     "Update " + tag + " resources: \n" + updated.description() + " ");
    return updated;
}

}  // namespace mvk
