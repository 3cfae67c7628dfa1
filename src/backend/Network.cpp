#include "backend/Network.hpp"

#include "backend/RequestBuilder.hpp"
#include "backend/UrlBuilder.hpp"
#include "platform/CurlURLSession.hpp"

namespace mvk {

Network::Network() : Network(CurlURLSession::shared()) {}

Network::Network(std::shared_ptr<URLSessionProtocol> session) : session_(std::move(session)) {}

std::unique_ptr<RequestBuilderProtocol> Network::get(const std::string& host) {
    return std::make_unique<RequestBuilder>(RequestType::GET, std::make_shared<UrlBuilder>(host),
                                            session_);
}

std::unique_ptr<RequestBuilderProtocol> Network::post(const std::string& host) {
    return std::make_unique<RequestBuilder>(RequestType::POST, std::make_shared<UrlBuilder>(host),
                                            session_);
}

}  // namespace mvk
