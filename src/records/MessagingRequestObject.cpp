#include "records/MessagingRequestObject.hpp"

namespace mvk {

nlohmann::ordered_json MessagingRequestObject::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["sdkVersion"] = sdkVersion;
    json["sdkCodeVersion"] = sdkCodeVersion;
    json["appVersion"] = appVersion;
    json["categoriesVersion"] = categoriesVersion;
    if (language) {
        json["language"] = *language;
    }
    return json;
}

}  // namespace mvk
