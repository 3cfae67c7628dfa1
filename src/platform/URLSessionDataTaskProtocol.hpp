#pragma once

namespace mvk {

class URLSessionDataTaskProtocol {
  public:
    virtual ~URLSessionDataTaskProtocol() = default;

    /// Starts the exchange; the task's completion runs once when it ends.
    virtual void resume() = 0;
};

}  // namespace mvk
