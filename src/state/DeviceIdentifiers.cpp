#include "state/DeviceIdentifiers.hpp"

#include "storage/SQLiteContracts.hpp"

namespace mvk {

std::optional<DeviceIdentifiers> DeviceIdentifiers::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto projectId = cursor.integer(1);
    auto deviceIdentifier = cursor.text(2);
    auto uuid = cursor.text(6);
    if (!idKey || !projectId || !deviceIdentifier || !uuid) {
        return std::nullopt;
    }
    DeviceIdentifiers identifiers(*projectId, std::move(*deviceIdentifier), std::move(*uuid),
                                  cursor.text(3));
    identifiers.idKey = *idKey;
    identifiers.morvanixId = cursor.integer(4);
    identifiers.crossPlatformMorvanixId = cursor.integer(5);
    identifiers.morvanixIdTimestamp = cursor.integer(7);
    return identifiers;
}

ContentValues DeviceIdentifiers::contentValues() const {
    using Entry = SQLiteContracts::DeviceIdentifiersEntry;
    return {
        {std::string(Entry::projectId), projectId},
        {std::string(Entry::deviceIdentifier), deviceIdentifier},
        {std::string(Entry::previousDeviceIdentifier), previousDeviceIdentifier},
        {std::string(Entry::morvanixId), morvanixId},
        {std::string(Entry::crossPlatformMorvanixId), crossPlatformMorvanixId},
        {std::string(Entry::uuid), uuid},
        {std::string(Entry::morvanixIdTimestamp), morvanixIdTimestamp},
    };
}

}  // namespace mvk
