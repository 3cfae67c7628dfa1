#include "analytics/Report.hpp"

#include "foundation/JsonCoding.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

std::optional<Report> Report::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto userId = cursor.integer(1);
    auto uuid = cursor.text(3);
    if (!idKey || !userId || !uuid) {
        return std::nullopt;
    }
    auto packagesJson = cursor.text(2);
    auto packages = packagesJson ? decodeJson<std::vector<Package>>(*packagesJson) : std::nullopt;
    Report report(packages.value_or(std::vector<Package>{}), std::move(*uuid));
    report.idKey = *idKey;
    report.userId = *userId;
    report.packagesJson = std::move(packagesJson);
    return report;
}

std::optional<std::string> Report::packagesText() const {
    return toJSONData(packages_);
}

std::optional<ContentValues> Report::contentValues() const {
    using Entry = SQLiteContracts::ReportEntry;
    auto packages = packagesText();
    if (!packages) {
        return std::nullopt;
    }
    return ContentValues{
        {std::string(Entry::userId), userId},
        {std::string(Entry::packagesJson), std::move(*packages)},
        {std::string(Entry::uuid), uuid},
    };
}

std::optional<nlohmann::ordered_json> Report::packagesBody() const {
    if (packagesJson) {
        auto stored = parseJson(*packagesJson);
        if (!stored || !stored->is_array()) {
            return std::nullopt;
        }
        return nlohmann::ordered_json(std::move(*stored));
    }
    return encodeJson(packages_);
}

nlohmann::ordered_json Report::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["packages"] = packagesBody().value_or(nlohmann::ordered_json::array());
    return json;
}

}  // namespace mvk
