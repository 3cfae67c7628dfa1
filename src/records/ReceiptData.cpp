#include "records/ReceiptData.hpp"

namespace mvk {

nlohmann::ordered_json ReceiptData::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["receipt-data"] = receiptData;
    json["password"] = password;
    return json;
}

}  // namespace mvk
