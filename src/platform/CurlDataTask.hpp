#pragma once

#include <atomic>

#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// One exchange of `CurlURLSession`; `resume()` blocks until it is over and
/// then calls the completion on the same thread. A task runs at most once.
class CurlDataTask : public URLSessionDataTaskProtocol {
  public:
    CurlDataTask(URLRequest request, URLSessionProtocol::Completion completion);

    void resume() override;

  private:
    URLRequest request_;
    URLSessionProtocol::Completion completion_;
    std::atomic<bool> started_{false};
};

}  // namespace mvk
