#include "state/UsersStoragesMigration.hpp"

namespace mvk {

std::optional<UsersStoragesMigration> UsersStoragesMigration::fromArchived(
    const LegacyArchivedValue& value) {
    if (value.kind() != LegacyArchivedValue::Kind::object ||
        value.className() != archivedClassName) {
        return std::nullopt;
    }
    UsersStoragesMigration result;
    result.activeUserId = value.member("activeUser").asText().value_or("");
    result.trackingAvailable = value.member("trackingAvailable").asBool().value_or(false);
    for (const auto& [key, element] : value.member("dataStorages").entries()) {
        auto name = key.asText();
        auto storage = DataStorageMigration::fromArchived(element);
        if (!name || !storage) {
            result.dataStorages.clear();
            break;
        }
        result.dataStorages.insert_or_assign(std::move(*name), std::move(*storage));
    }
    return result;
}

std::optional<UsersStoragesMigration> UsersStoragesMigration::fromArchive(
    const LegacyKeyedArchive& archive) {
    auto result = fromArchived(archive.topObject());
    if (archive.isBroken()) {
        return std::nullopt;
    }
    return result;
}

const DataStorageMigration* UsersStoragesMigration::activeStorage() const {
    auto entry = dataStorages.find(activeUserId);
    return entry != dataStorages.end() ? &entry->second : nullptr;
}

}  // namespace mvk
