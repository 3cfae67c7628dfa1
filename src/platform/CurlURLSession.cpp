#include "platform/CurlURLSession.hpp"

#include "platform/CurlDataTask.hpp"

namespace mvk {

CurlURLSession::CurlURLSession() = default;

std::shared_ptr<CurlURLSession> CurlURLSession::shared() {
    // Leaked on purpose: queue threads may still send while the process exits.
    static auto* session = new std::shared_ptr<CurlURLSession>(std::make_shared<CurlURLSession>());
    return *session;
}

std::unique_ptr<URLSessionDataTaskProtocol> CurlURLSession::dataTaskWithRequest(
    URLRequest request, Completion completion) {
    return std::make_unique<CurlDataTask>(std::move(request), std::move(completion));
}

}  // namespace mvk
