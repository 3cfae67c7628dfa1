#pragma once

namespace mvk {

/// The push-messaging calls, as the proxy forwards them to the logic on the
/// income queue.
class MessagingProtocol {
  public:
    virtual ~MessagingProtocol() = default;
};

}  // namespace mvk
