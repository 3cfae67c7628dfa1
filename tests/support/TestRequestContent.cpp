#include "support/TestRequestContent.hpp"

#include "foundation/MVKError.hpp"

namespace mvk::test {

TestRequestContent::TestRequestContent(EncodableValue object, HeaderMap headers,
                                       HeaderMap sentHeaders, std::string headerKeyType)
    : object_(std::move(object)),
      headers_(std::move(headers)),
      sentHeaders_(std::move(sentHeaders)),
      headerKeyType_(std::move(headerKeyType)) {}

std::string TestRequestContent::getContent() const {
    auto bytes = object_.toJSONData();
    if (!bytes) {
        throw MVKError("getContent Error");
    }
    return *bytes;
}

}  // namespace mvk::test
