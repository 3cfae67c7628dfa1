#pragma once

#include <map>
#include <string>

#include "backend/EncodableValue.hpp"

namespace mvk {

/// Header fields by name; iteration is in ascending key order.
using HeaderMap = std::map<std::string, std::string>;

/// The body and headers of one request.
class RequestContentProtocol {
  public:
    virtual ~RequestContentProtocol() = default;

    /// The JSON bytes of `object()`; throws `MVKError` "getContent Error" when
    /// it cannot be encoded.
    virtual std::string getContent() const = 0;
    /// The headers before encoding.
    virtual HeaderMap getHeader() const = 0;
    /// The headers as they are sent.
    virtual HeaderMap getBase64Headers() const = 0;
    /// The value of "Content-Type".
    virtual std::string headerKeyType() const = 0;

    virtual EncodableValue object() const = 0;
    virtual void setObject(EncodableValue object) = 0;
};

}  // namespace mvk
