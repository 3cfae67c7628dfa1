#pragma once

#include <memory>

#include "backend/RequestBuilderProtocol.hpp"
#include "backend/RequestType.hpp"
#include "backend/UrlBuilderProtocol.hpp"
#include "platform/URLSessionProtocol.hpp"

namespace mvk {

class RequestBuilder : public RequestBuilderProtocol {
  public:
    RequestBuilder(RequestType type, std::shared_ptr<UrlBuilderProtocol> urlBuilder,
                   std::shared_ptr<URLSessionProtocol> session);

    void setQueryParam(const std::string& key, const std::string& value) override;
    void setContent(std::shared_ptr<RequestContentProtocol> content) override;
    void setRequestIdentifier(std::optional<std::string> identifier) override;
    void setMaxResponseBytes(std::size_t bytes) override;
    std::unique_ptr<RequestProtocol> build() override;

    RequestType type() const { return type_; }

  private:
    const RequestType type_;
    std::shared_ptr<UrlBuilderProtocol> urlBuilder_;
    std::shared_ptr<RequestContentProtocol> requestContent_;
    std::optional<std::string> requestIdentifier_;
    std::optional<std::size_t> maxResponseBytes_;
    std::shared_ptr<URLSessionProtocol> session_;
};

}  // namespace mvk
