#include "backend/JSONContent.hpp"

#include <algorithm>

#include "foundation/Base64.hpp"
#include "foundation/MVKError.hpp"

namespace mvk {

JSONContent::JSONContent(EncodableValue object, HeaderMap headers)
    : object_(std::move(object)), headers_(std::move(headers)) {}

const std::vector<std::string>& JSONContent::encodingKeys() {
    // Never destroyed: queue threads may read it while the process exits.
    static const auto* keys =
        new std::vector<std::string>{"DeviceId", "PreviousDeviceId", "UserId", "PreviousUserId"};
    return *keys;
}

std::string JSONContent::getContent() const {
    auto bytes = object_.toJSONData();
    if (!bytes) {
        throw MVKError("getContent Error");
    }
    return std::move(*bytes);
}

HeaderMap JSONContent::getBase64Headers() const {
    HeaderMap encoded = headers_;
    const auto& keys = encodingKeys();
    for (auto& [key, value] : encoded) {
        if (std::find(keys.begin(), keys.end(), key) != keys.end()) {
            value = base64Encode(value);
        }
    }
    return encoded;
}

std::string JSONContent::headerKeyType() const {
    return "application/json";
}

}  // namespace mvk
