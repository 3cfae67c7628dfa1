#include "backend/ContentFactory.hpp"

#include "backend/JSONContent.hpp"

namespace mvk {

namespace {

template <class T>
void putIfPresent(HeaderMap& headers, const char* key, const std::optional<T>& value) {
    if (!value) {
        return;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        headers[key] = *value;
    } else {
        headers[key] = std::to_string(*value);
    }
}

}  // namespace

std::shared_ptr<RequestContentProtocol> ContentFactory::getContent(
    const EncodableValue& data, const Identifiers& identifiers) const {
    return std::make_shared<JSONContent>(data, headers(identifiers));
}

HeaderMap ContentFactory::headers(const Identifiers& identifiers) {
    HeaderMap headers;
    headers["DeviceId"] = identifiers.deviceId;
    putIfPresent(headers, "PreviousDeviceId", identifiers.previousDeviceId);
    putIfPresent(headers, "UserId", identifiers.userId);
    putIfPresent(headers, "PreviousUserId", identifiers.previousUserId);
    putIfPresent(headers, "MorvanixId", identifiers.morvanixId);
    putIfPresent(headers, "CrossPlatformMorvanixId", identifiers.crossPlatformMorvanixId);
    putIfPresent(headers, "MorvanixIdTimestamp", identifiers.morvanixIdTimestamp);
    headers["X-Id-Encoding"] = "base64";
    return headers;
}

}  // namespace mvk
