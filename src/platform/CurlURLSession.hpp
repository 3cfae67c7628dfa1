#pragma once

#include <memory>

#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// The platform's URL session on libcurl. A task runs its whole exchange
/// inside `resume()` on the calling thread, with a handle of its own (or the
/// thread's kept one, when `URLSessionSettings` asks for connection reuse),
/// so any number of threads may send at once.
///
/// Every exchange verifies the server's certificate, speaks only http and
/// https, follows no redirect (a 3xx answer with a location is a failure),
/// refuses an answer above the size cap and ends after the request's timeout
/// interval without a byte moving (see `URLSessionSettings`).
class CurlURLSession : public URLSessionProtocol {
  public:
    /// The process-wide session, made on first use and never destroyed.
    static std::shared_ptr<CurlURLSession> shared();

    CurlURLSession();

    std::unique_ptr<URLSessionDataTaskProtocol> dataTaskWithRequest(URLRequest request,
                                                                    Completion completion) override;
};

}  // namespace mvk
