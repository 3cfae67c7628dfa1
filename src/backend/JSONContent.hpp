#pragma once

#include <string>
#include <vector>

#include "backend/RequestContentProtocol.hpp"

namespace mvk {

/// A gateway request's content: the JSON body and the identity headers.
/// The id headers are sent as base64 of their bytes, so a stored id can
/// never put a line break (or anything else) into the request head.
class JSONContent : public RequestContentProtocol {
  public:
    JSONContent(EncodableValue object, HeaderMap headers);

    /// The headers whose values are sent base64-encoded: "DeviceId",
    /// "PreviousDeviceId", "UserId", "PreviousUserId".
    static const std::vector<std::string>& encodingKeys();

    std::string getContent() const override;
    HeaderMap getHeader() const override { return headers_; }
    /// Every header; the values of `encodingKeys()` as base64.
    HeaderMap getBase64Headers() const override;
    /// "application/json".
    std::string headerKeyType() const override;

    EncodableValue object() const override { return object_; }
    void setObject(EncodableValue object) override { object_ = std::move(object); }

  private:
    EncodableValue object_;
    const HeaderMap headers_;
};

}  // namespace mvk
