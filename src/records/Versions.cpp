#include "records/Versions.hpp"

namespace mvk {

nlohmann::ordered_json Versions::toJson() const {
    auto json = nlohmann::ordered_json::object();
    json["sdkVersion"] = sdkVersion;
    json["sdkCodeVersion"] = sdkCodeVersion;
    json["appVersion"] = appVersion ? nlohmann::ordered_json(*appVersion) : nullptr;
    if (excludeVersion) {
        json["excludeVersion"] = *excludeVersion;
    }
    if (sbsConfigVersion) {
        json["sbsConfigVersion"] = *sbsConfigVersion;
    }
    if (remoteConfigVersion) {
        json["configVersion"] = *remoteConfigVersion;
    }
    return json;
}

}  // namespace mvk
