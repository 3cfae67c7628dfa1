#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "state/DataStorageMigration.hpp"
#include "state/LegacyArchivedValue.hpp"
#include "state/LegacyKeyedArchive.hpp"

namespace mvk {

/// The top-level object of the earlier native SDK's archive: its users and
/// which of them was active. A field whose key is missing or holds another
/// type keeps its default.
struct UsersStoragesMigration {
    static constexpr std::string_view archivedClassName = "UsersStorages";

    /// Archive key "activeUser": the key of the active user in `dataStorages`.
    std::string activeUserId;
    /// Archive key "dataStorages": empty unless every name is a text and every
    /// value a `DataStorageMigration`.
    std::map<std::string, DataStorageMigration> dataStorages;
    /// Archive key "trackingAvailable": only a stored bool counts.
    bool trackingAvailable = false;

    /// Nothing unless `value` is an archived object of `archivedClassName`.
    static std::optional<UsersStoragesMigration> fromArchived(const LegacyArchivedValue& value);

    /// The archive's top-level object; nothing when it is of another class or
    /// the archive turned out broken while it was read.
    static std::optional<UsersStoragesMigration> fromArchive(const LegacyKeyedArchive& archive);

    /// The entry of the active user, if there is one.
    const DataStorageMigration* activeStorage() const;
};

}  // namespace mvk
