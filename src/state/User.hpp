#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "storage/Cursor.hpp"
#include "storage/DatabaseProtocol.hpp"

namespace mvk {

/// One user of a project: one row of "users". The row cache and the services
/// share one object and change it in place.
struct User {
    /// The row ids of the users given, the null ones left out.
    static std::vector<std::int64_t> rowIds(const std::vector<std::shared_ptr<User>>& users) {
        std::vector<std::int64_t> ids;
        ids.reserve(users.size());
        for (const auto& user : users) {
            if (user) {
                ids.push_back(user->idKey);
            }
        }
        return ids;
    }

    /// A user not stored yet: level 1, no session, resource aggregation on.
    User(std::int64_t projectId, std::optional<std::string> userId, bool isDefault)
        : projectId(projectId), userId(std::move(userId)), isDefaultUser(isDefault) {}

    /// The row id; -1 until the row is inserted.
    std::int64_t idKey = -1;
    /// `idKey` of the project.
    std::int64_t projectId;
    std::int64_t level = 1;
    std::optional<std::int64_t> sessionId;
    /// The host's user id.
    std::optional<std::string> userId;
    /// The user id before the last change of `userId`.
    std::optional<std::string> previousUserId;
    /// Milliseconds since 1970.
    std::optional<std::int64_t> lastForegroundTime;
    std::optional<std::int64_t> lastBackgroundTime;
    /// The anonymous user named by the device identifier.
    bool isDefaultUser;
    bool isResourceAggregationEnable = true;
    /// Kept in memory only: a user read from the table has not sent its balance.
    bool balanceIsSent = false;

    /// Columns in table order. Absent when the id, project id or level is not
    /// an integer (NULL included).
    static std::optional<User> fromCursor(const Cursor& cursor);

    /// Every stored column but the id, for an insert or an update.
    ContentValues contentValues() const;
};

}  // namespace mvk
