#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "storage/Cursor.hpp"

namespace mvk {

/// An order id of a real-currency payment (or subscription transaction) already
/// reported for a project, so it is reported only once. One row of "realPaymentMarks".
struct RealPaymentMark {
    /// The row id once stored; -1 for a mark made in memory.
    std::int64_t idKey = -1;
    /// Row id of the project in "projects".
    std::int64_t projectId = 0;
    std::string orderId;

    /// Columns id, projectId, orderId; a row with a column of another type is skipped.
    static std::optional<RealPaymentMark> fromCursor(const Cursor& cursor);

    /// The row id says where a mark is stored, not what it marks.
    friend bool operator==(const RealPaymentMark& lhs, const RealPaymentMark& rhs) {
        return lhs.projectId == rhs.projectId && lhs.orderId == rhs.orderId;
    }
};

}  // namespace mvk
