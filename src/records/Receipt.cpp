#include "records/Receipt.hpp"

namespace mvk {

nlohmann::ordered_json Receipt::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["platform"] = platform;
    json["receipt"] = receipt.toJson();
    if (bundle) {
        json["bundle"] = *bundle;
    }
    return json;
}

}  // namespace mvk
