#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "events/LevelResourceType.hpp"
#include "storage/Cursor.hpp"

namespace mvk {

/// One resource earned, bought or spent on the user's current level, summed
/// up until the next level-up reports it. One row of "levelResource".
struct LevelResource {
    /// The row id; -1 for a resource not stored yet.
    std::int64_t idKey = -1;
    /// Row id of the owning user; -1 until the service fills it.
    std::int64_t userId = -1;
    LevelResourceType type;
    std::string name;
    std::int64_t amount;

    /// Columns id, userId, type, name, amount. A type outside 0...2 reads as
    /// earned; a column of another type (NULL included) skips the row.
    static std::optional<LevelResource> fromCursor(const Cursor& cursor);

    /// "\t userId: U, \n\t type: T, \n\t name: N, \n\t amount: A"
    std::string description() const;

    /// The same resource of the same user, whatever its row and amount.
    friend bool operator==(const LevelResource& lhs, const LevelResource& rhs) {
        return lhs.userId == rhs.userId && lhs.type == rhs.type && lhs.name == rhs.name;
    }
};

}  // namespace mvk
