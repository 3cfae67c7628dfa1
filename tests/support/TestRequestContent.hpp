#pragma once

#include <string>

#include "backend/RequestContentProtocol.hpp"

namespace mvk::test {

/// Request content with fixed headers: the headers before encoding and the
/// ones sent are given separately, so tests can tell the two lists apart.
class TestRequestContent : public RequestContentProtocol {
  public:
    explicit TestRequestContent(EncodableValue object, HeaderMap headers = {},
                                HeaderMap sentHeaders = {},
                                std::string headerKeyType = "application/json");

    std::string getContent() const override;
    HeaderMap getHeader() const override { return headers_; }
    HeaderMap getBase64Headers() const override { return sentHeaders_; }
    std::string headerKeyType() const override { return headerKeyType_; }
    EncodableValue object() const override { return object_; }
    void setObject(EncodableValue object) override { object_ = std::move(object); }

  private:
    EncodableValue object_;
    HeaderMap headers_;
    HeaderMap sentHeaders_;
    std::string headerKeyType_;
};

}  // namespace mvk::test
