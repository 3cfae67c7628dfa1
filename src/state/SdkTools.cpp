#include "state/SdkTools.hpp"

#include "storage/SQLiteContracts.hpp"

namespace mvk {

std::optional<SdkTools> SdkTools::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto metadata = cursor.text(1);
    if (!idKey || !metadata) {
        return std::nullopt;
    }
    return SdkTools{.idKey = *idKey, .properties = decodePeopleProperties(*metadata)};
}

ContentValues SdkTools::contentValues() const {
    return {{std::string(SQLiteContracts::SdkToolsEntry::metadata),
             encodePeopleProperties(properties)}};
}

}  // namespace mvk
