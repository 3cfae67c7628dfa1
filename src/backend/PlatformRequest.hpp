#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "backend/RequestContentProtocol.hpp"
#include "backend/RequestProtocol.hpp"
#include "backend/RequestType.hpp"
#include "backend/UrlBuilderProtocol.hpp"
#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// One request ready to go: sent once, on the calling thread, which it blocks
/// until the session's completion has stored the answer.
class PlatformRequest : public RequestProtocol {
  public:
    PlatformRequest(std::shared_ptr<UrlBuilderProtocol> urlBuilder, RequestType type,
                    std::shared_ptr<RequestContentProtocol> requestContent,
                    std::optional<std::string> requestIdentifier,
                    std::shared_ptr<URLSessionProtocol> session,
                    std::optional<std::size_t> maxResponseBytes = std::nullopt);

    Response send() override;

  private:
    void writeSendLog(const URL& url) const;
    /// The error line of a request that got no HTTP answer.
    static void logFailure(const std::string& url, std::string_view reason);

    std::shared_ptr<UrlBuilderProtocol> urlBuilder_;
    RequestType type_;
    std::shared_ptr<RequestContentProtocol> requestContent_;
    std::optional<std::string> requestIdentifier_;
    std::shared_ptr<URLSessionProtocol> session_;
    std::optional<std::size_t> maxResponseBytes_;
};

}  // namespace mvk
