#include "purchases/SubscriptionInfo.hpp"

#include "foundation/JsonCoding.hpp"
#include "foundation/JsonObjectReader.hpp"
#include "storage/SQLiteContracts.hpp"

namespace mvk {

namespace {

template <class T>
std::vector<T> storedList(const std::string& text) {
    return decodeJson<std::vector<T>>(text).value_or(std::vector<T>{});
}

template <class T>
std::string storedText(const std::vector<T>& list) {
    return toJSONData(list).value_or("[]");
}

}  // namespace

std::optional<SubscriptionInfo> SubscriptionInfo::fromCursor(const Cursor& cursor) {
    auto idKey = cursor.integer(0);
    auto projectId = cursor.integer(1);
    auto products = cursor.text(2);
    auto restoredTransaction = cursor.text(3);
    if (!idKey || !projectId || !products || !restoredTransaction) {
        return std::nullopt;
    }
    SubscriptionInfo info(*projectId);
    info.idKey = *idKey;
    info.products = storedList<SubscriptionProduct>(*products);
    info.restoredTransaction = storedList<RestoredTransaction>(*restoredTransaction);
    info.alreadyRestored = cursor.integer(4).value_or(0) > 0;
    info.productIsChanged = cursor.integer(5).value_or(0) > 0;
    info.alreadySendRestoreEvent = cursor.integer(6).value_or(0) > 0;
    return info;
}

ContentValues SubscriptionInfo::contentValues() const {
    using Entry = SQLiteContracts::SubscriptionEntry;
    return {
        {std::string(Entry::projectId), projectId},
        {std::string(Entry::products), storedText(products)},
        {std::string(Entry::restoredTransaction), storedText(restoredTransaction)},
        {std::string(Entry::alreadyRestored), alreadyRestored},
        {std::string(Entry::alreadySendRestoreEvent), alreadySendRestoreEvent},
        {std::string(Entry::productIsChanged), productIsChanged},
    };
}

std::optional<nlohmann::ordered_json> SubscriptionInfo::toJson() const {
    auto productList = encodeJson(products);
    auto transactionList = encodeJson(restoredTransaction);
    if (!productList || !transactionList) {
        return std::nullopt;
    }
    auto json = nlohmann::ordered_json::object();
    json["idKey"] = idKey;
    json["projectId"] = projectId;
    json["products"] = std::move(*productList);
    json["restoredTransaction"] = std::move(*transactionList);
    json["alreadyRestored"] = alreadyRestored;
    json["alreadySendRestoreEvent"] = alreadySendRestoreEvent;
    json["productIsChanged"] = productIsChanged;
    return json;
}

std::optional<SubscriptionInfo> SubscriptionInfo::fromJson(const nlohmann::json& json) {
    JsonObjectReader reader(json);
    auto idKey = reader.requiredInt("idKey");
    auto projectId = reader.requiredInt("projectId");
    const auto* products = reader.requiredValue("products");
    const auto* restoredTransaction = reader.requiredValue("restoredTransaction");
    auto alreadyRestored = reader.requiredBool("alreadyRestored");
    auto alreadySendRestoreEvent = reader.requiredBool("alreadySendRestoreEvent");
    auto productIsChanged = reader.requiredBool("productIsChanged");
    if (!reader.ok()) {
        return std::nullopt;
    }
    auto productList = decodeJsonValue<std::vector<SubscriptionProduct>>(*products);
    auto transactionList = decodeJsonValue<std::vector<RestoredTransaction>>(*restoredTransaction);
    if (!productList || !transactionList) {
        return std::nullopt;
    }
    SubscriptionInfo info(*projectId);
    info.idKey = *idKey;
    info.products = std::move(*productList);
    info.restoredTransaction = std::move(*transactionList);
    info.alreadyRestored = *alreadyRestored;
    info.alreadySendRestoreEvent = *alreadySendRestoreEvent;
    info.productIsChanged = *productIsChanged;
    return info;
}

}  // namespace mvk
