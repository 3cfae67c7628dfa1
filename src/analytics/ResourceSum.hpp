#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "foundation/ClampedAmount.hpp"
#include "foundation/Logger.hpp"

namespace mvk {

/// Stores `record` as the first row of its key, or adds its amount to the
/// stored row equal to it, held at the 32-bit bounds with a level-2 line.
/// `tag` names the kind in the log lines ("CA", "LU"); `touch` brings a summed
/// row up to date beyond its amount. False when the row could not be written.
template <class Row, class Repository, class Touch>
bool storeOrSum(Repository& repository, const std::vector<Row>& rows, const Row& record,
                const std::string& tag, Touch touch) {
    const auto found = std::find(rows.begin(), rows.end(), record);
    if (found == rows.end()) {
        if (!repository.insert(record)) {
            return false;
        }
        Logger::writeLog(MVKLogLevel::debug,
                         "Insert " + tag + " resources: \n" + record.description() + " ");
        return true;
    }
    const auto sum = ClampedAmount::sum(found->amount, record.amount);
    if (sum.overflowed) {
        Logger::writeLog(MVKLogLevel::error, tag + " resource: " + found->name + " is overflowed");
    }
    Row updated = *found;
    updated.amount = sum.value;
    touch(updated);
    if (!repository.update(updated)) {
        return false;
    }
    Logger::writeLog(MVKLogLevel::debug,
                     "Update " + tag + " resources: \n" + updated.description() + " ");
    return true;
}

}  // namespace mvk
