#include "events/RestoredTransaction.hpp"

#include "foundation/JsonObjectReader.hpp"

namespace mvk {

nlohmann::ordered_json RestoredTransaction::toJson() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    json["productID"] = productID;
    json["transactionIds"] = transactionIds;
    return json;
}

std::optional<RestoredTransaction> RestoredTransaction::fromJson(const nlohmann::json& value) {
    JsonObjectReader reader(value);
    auto productID = reader.requiredString("productID");
    const nlohmann::json* ids = reader.requiredValue("transactionIds");
    if (!reader.ok() || !ids->is_array()) {
        return std::nullopt;
    }
    RestoredTransaction transaction{.productID = std::move(*productID), .transactionIds = {}};
    transaction.transactionIds.reserve(ids->size());
    for (const auto& id : *ids) {
        auto text = JsonObjectReader::asString(id);
        if (!text) {
            return std::nullopt;
        }
        transaction.transactionIds.push_back(std::move(*text));
    }
    return transaction;
}

}  // namespace mvk
