#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "foundation/MVKError.hpp"
#include "platform/HTTPURLResponse.hpp"
#include "platform/URLRequest.hpp"
#include "platform/URLSessionDataTaskProtocol.hpp"

namespace mvk {

class URLSessionProtocol {
  public:
    /// Called once per task: the answer's bytes, its head when an HTTP answer
    /// came, the error when the exchange failed.
    using Completion =
        std::function<void(std::optional<std::string> data, std::optional<HTTPURLResponse> response,
                           std::optional<MVKError> error)>;

    virtual ~URLSessionProtocol() = default;

    virtual std::unique_ptr<URLSessionDataTaskProtocol> dataTaskWithRequest(
        URLRequest request, Completion completion) = 0;
};

}  // namespace mvk
