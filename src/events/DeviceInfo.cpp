#include "events/DeviceInfo.hpp"

#include "events/EventRecord.hpp"

#include <cmath>

namespace mvk {

void DeviceInfo::encodeFields(nlohmann::ordered_json& json) const {
    json["osVersion"] = osVersion;
    json["os"] = os;
    EventRecord::putIfPresent(json, "displayPpi", displayPpi);
    EventRecord::putIfPresent(json, "displayResolution", displayResolution);
    EventRecord::putIfPresent(json, "displayDiagonal", displayDiagonal);
    json["manufacturer"] = manufacturer;
    json["model"] = model;
    json["timeZoneOffset"] = timeZoneOffset;
    json["isLimitAdTrackingEnabled"] = isLimitAdTrackingEnabled;
    EventRecord::putIfPresent(json, "idfv", idfv);
    EventRecord::putIfPresent(json, "idfa", idfa);
    json["uuid"] = uuid;
    EventRecord::putIfPresent(json, "sandboxState", sandboxState);
}

void DeviceInfo::describeFields(EventDescription& text) const {
    // The sandbox line sits with the time zone, out of field order.
    text.add("osVersion", osVersion)
        .add("os", os)
        .add("displayPpi", displayPpi)
        .add("displayResolution", displayResolution)
        .add("displayDiagonal", displayDiagonal)
        .add("manufacturer", manufacturer)
        .add("model", model)
        .add("timeZoneOffset", timeZoneOffset)
        .add("sandboxState", sandboxState)
        .add("isLimitAdTrackingEnabled", isLimitAdTrackingEnabled)
        .add("idfv", idfv)
        .add("idfa", idfa)
        .add("uuid", uuid);
}

double DeviceInfo::roundedDiagonal(double inches) {
    return std::round(inches * 100000.0) / 100000.0;
}

}  // namespace mvk
