#include "backend/SummaryBackendData.hpp"

namespace mvk {

std::optional<SummaryBackendData> SummaryBackendData::fromJson(const nlohmann::json& json,
                                                               std::string* error) {
    auto identifiers = UserIdentifiers::fromJson(json, error);
    if (!identifiers) {
        return std::nullopt;
    }
    auto data = UserData::fromJson(json, error);
    if (!data) {
        return std::nullopt;
    }
    return SummaryBackendData{std::move(*identifiers), std::move(*data)};
}

nlohmann::ordered_json SummaryBackendData::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["userIdentifications"] = userIdentifications.toJson();
    json["userData"] = userData.toJson();
    return json;
}

}  // namespace mvk
