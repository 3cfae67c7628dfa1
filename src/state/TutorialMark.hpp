#pragma once

#include <cstdint>
#include <optional>

#include "storage/Cursor.hpp"

namespace mvk {

/// A tutorial step already reported for a user, so it is reported only once.
/// One row of "tutorialMarkEntry".
struct TutorialMark {
    /// The row id once stored; -1 for a mark made in memory.
    std::int64_t idKey = -1;
    /// Row id of the user in "users".
    std::int64_t userId = 0;
    std::int64_t step = 0;

    /// Columns id, userId, step; a row with a non-integer column is skipped.
    static std::optional<TutorialMark> fromCursor(const Cursor& cursor);

    /// The row id says where a mark is stored, not what it marks.
    friend bool operator==(const TutorialMark& lhs, const TutorialMark& rhs) {
        return lhs.userId == rhs.userId && lhs.step == rhs.step;
    }
};

}  // namespace mvk
