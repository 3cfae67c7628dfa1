#include "state/Project.hpp"

#include "foundation/JsonCoding.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

std::optional<Project> Project::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto applicationKey = cursor.text(1);
    if (!idKey || !applicationKey) {
        return std::nullopt;
    }
    Project project(std::move(*applicationKey));
    project.idKey = *idKey;
    project.activeUserId = cursor.integer(2);
    project.trackingAvailable = cursor.integer(3).value_or(0) >= 1;
    project.applicationBundle = cursor.text(4);
    project.applicationVersion = cursor.text(5);
    project.applicationBuildVersion = cursor.text(6);
    if (auto text = cursor.text(7)) {
        if (auto configuration = decodeJson<Config>(*text)) {
            project.configuration = std::move(*configuration);
        }
    }
    project.isReferralSent = cursor.integer(8).value_or(0) >= 1;
    project.savedTime = cursor.integer(9);
    project.categoriesVersion = cursor.integer(10);
    project.isMigrated = cursor.integer(11).value_or(0) >= 1;
    return project;
}

ContentValues Project::contentValues() const {
    using Entry = SQLiteContracts::ProjectEntry;
    return {
        {std::string(Entry::applicationKey), applicationKey_},
        {std::string(Entry::activeUserId), activeUserId},
        {std::string(Entry::trackingAvailable), trackingAvailable},
        {std::string(Entry::applicationBundle), applicationBundle},
        {std::string(Entry::applicationVersion), applicationVersion},
        {std::string(Entry::applicationBuildVersion), applicationBuildVersion},
        {std::string(Entry::configuration), configuration.storedText()},
        {std::string(Entry::isReferralSent), isReferralSent},
        {std::string(Entry::savedTime), savedTime},
        {std::string(Entry::categoriesVersion), categoriesVersion},
        {std::string(Entry::isMigrated), isMigrated},
    };
}

}  // namespace mvk
