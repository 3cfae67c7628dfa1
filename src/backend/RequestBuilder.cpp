#include "backend/RequestBuilder.hpp"

#include "backend/PlatformRequest.hpp"
#include "foundation/MVKError.hpp"

namespace mvk {

RequestBuilder::RequestBuilder(RequestType type, std::shared_ptr<UrlBuilderProtocol> urlBuilder,
                               std::shared_ptr<URLSessionProtocol> session)
    : type_(type), urlBuilder_(std::move(urlBuilder)), session_(std::move(session)) {}

void RequestBuilder::setQueryParam(const std::string& key, const std::string& value) {
    urlBuilder_->setQueryParam(key, value);
}

void RequestBuilder::setContent(std::shared_ptr<RequestContentProtocol> content) {
    requestContent_ = std::move(content);
}

void RequestBuilder::setRequestIdentifier(std::optional<std::string> identifier) {
    requestIdentifier_ = std::move(identifier);
}

void RequestBuilder::setMaxResponseBytes(std::size_t bytes) {
    maxResponseBytes_ = bytes;
}

std::unique_ptr<RequestProtocol> RequestBuilder::build() {
    if (!requestContent_) {
        throw MVKError("[Network Module] requestContent is nil");
    }
    return std::make_unique<PlatformRequest>(urlBuilder_, type_, requestContent_,
                                             requestIdentifier_, session_, maxResponseBytes_);
}

}  // namespace mvk
