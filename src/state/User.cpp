#include "state/User.hpp"

#include "storage/SQLiteContracts.hpp"

namespace mvk {

std::optional<User> User::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto projectId = cursor.integer(1);
    auto level = cursor.integer(2);
    if (!idKey || !projectId || !level) {
        return std::nullopt;
    }
    User user(*projectId, cursor.text(4), cursor.integer(8).value_or(0) >= 1);
    user.idKey = *idKey;
    user.level = *level;
    user.sessionId = cursor.integer(3);
    user.previousUserId = cursor.text(5);
    user.lastForegroundTime = cursor.integer(6);
    user.lastBackgroundTime = cursor.integer(7);
    user.isResourceAggregationEnable = cursor.integer(9).value_or(0) >= 1;
    return user;
}

ContentValues User::contentValues() const {
    using Entry = SQLiteContracts::UserEntry;
    return {
        {std::string(Entry::projectId), projectId},
        {std::string(Entry::level), level},
        {std::string(Entry::sessionId), sessionId},
        {std::string(Entry::userId), userId},
        {std::string(Entry::previousUserId), previousUserId},
        {std::string(Entry::lastForegroundTime), lastForegroundTime},
        {std::string(Entry::lastBackgroundTime), lastBackgroundTime},
        {std::string(Entry::isDefaultUser), isDefaultUser},
        {std::string(Entry::isResourceAggregationEnable), isResourceAggregationEnable},
    };
}

}  // namespace mvk
