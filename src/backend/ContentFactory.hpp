#pragma once

#include "backend/ContentFactoryProtocol.hpp"

namespace mvk {

class ContentFactory : public ContentFactoryProtocol {
  public:
    /// A `JSONContent` with the identity headers of `identifiers`.
    std::shared_ptr<RequestContentProtocol> getContent(
        const EncodableValue& data, const Identifiers& identifiers) const override;

    /// "DeviceId" and "X-Id-Encoding" ("base64") always; "PreviousDeviceId",
    /// "UserId", "PreviousUserId" and the three gateway ids (in decimal) when
    /// present. The text values are raw here; the content encodes them.
    static HeaderMap headers(const Identifiers& identifiers);
};

}  // namespace mvk
