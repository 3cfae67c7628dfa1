#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Clock.hpp"
#include "mvk/MVKAccrualType.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// Currency of one source earned or bought since the last "ca" event, summed
/// up per user. One row of "currencyAccrualResources".
struct CurrencyAccrualResource {
    /// The row id; -1 for an accrual not stored yet.
    std::int64_t idKey = -1;
    /// Row id of the owning user; -1 for a new accrual.
    std::int64_t userId = -1;
    MVKAccrualType type;
    /// The currency.
    std::string name;
    std::int64_t amount;
    /// Where the currency came from, as the game said.
    std::string source;
    std::int64_t timestamp = Clock::nowMillis();

    /// Columns id, userId, type, name, amount, source, timestamp. A type other
    /// than 1 (bought) reads as earned; a column of another type (NULL
    /// included) skips the row.
    static std::optional<CurrencyAccrualResource> fromCursor(const Cursor& cursor);

    /// "\t userId: U, \n\t type: T, \n\t name: N, \n\t amount: A \n\t source: S"
    std::string description() const;

    /// The same currency from the same source for the same user, whatever its
    /// row, amount and time.
    friend bool operator==(const CurrencyAccrualResource& lhs, const CurrencyAccrualResource& rhs) {
        return lhs.name == rhs.name && lhs.source == rhs.source && lhs.type == rhs.type &&
               lhs.userId == rhs.userId;
    }
};

}  // namespace mvk
