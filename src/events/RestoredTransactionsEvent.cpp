#include "events/RestoredTransactionsEvent.hpp"

#include "events/EventRecord.hpp"

namespace mvk {

void RestoredTransactionsEvent::encodeFields(nlohmann::ordered_json& json) const {
    json["sessionId"] = sessionId;
    json["currencyCode"] = currencyCode;
    auto& list = json["transactions"] = nlohmann::ordered_json::array();
    for (const auto& transaction : transactions) {
        list.push_back(transaction.toJson());
    }
    EventRecord::putIfPresent(json, "inExperiments", inExperiments);
}

void RestoredTransactionsEvent::describeFields(EventDescription& text) const {
    text.add("sessionId", sessionId).add("currencyCode", currencyCode);
    if (!transactions.empty()) {
        std::string block = "\t transactions: \n";
        for (const auto& transaction : transactions) {
            block += "\t\t product " + transaction.productID + " \n";
            block += "\t\t transactionIds: \n ";
            for (const auto& id : transaction.transactionIds) {
                block += "\t\t\t " + id + " \n";
            }
        }
        text.append(block);
    }
    text.add("inExperiments", inExperiments);
}

}  // namespace mvk
