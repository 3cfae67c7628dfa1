#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "events/PeopleValueType.hpp"
#include "state/UsersStoragesMigration.hpp"

namespace mvk {

/// The user an earlier SDK left behind, read from either of its files, in the
/// form the import writes into the database.
struct MigrationObject {
    /// Read for the log only; the import changes no device identifier.
    std::optional<std::string> deviceId;
    std::optional<std::string> prevDeviceId;
    /// The user id the host had set.
    std::optional<std::string> userId;
    std::optional<std::string> prevUserId;
    bool trackingAvailable = true;
    std::optional<std::int64_t> level;
    PeopleProperties userCard;
    /// Order ids of payments already reported.
    std::vector<std::string> transactionIds;
    /// Tutorial steps already reported.
    std::vector<std::int64_t> tutorCompletedSteps;

    /// The engine SDK's file. A present id or level of the wrong type fails
    /// the whole object; a tracking flag, card or list of the wrong type reads
    /// as its default (tracking allowed, empty). Card values that are arrays,
    /// objects or unsigned integers beyond the signed 64-bit range are left out.
    static std::optional<MigrationObject> fromJson(const nlohmann::json& json);

    /// The active user of the native SDK's archive; nothing when it has no
    /// entry for its active user.
    static std::optional<MigrationObject> fromNativeArchive(const UsersStoragesMigration& storages);

    /// Lines for the debug log, each ended by a line feed; absent values and
    /// empty lists leave out their lines.
    std::string description() const;
};

}  // namespace mvk
