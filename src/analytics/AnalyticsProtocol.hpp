#pragma once

namespace mvk {

/// The analytics calls, as the proxy forwards them to the logic on the income
/// queue.
class AnalyticsProtocol {
  public:
    virtual ~AnalyticsProtocol() = default;

    /// Ends the logic's part in the life cycle and its activity; the core's
    /// shut-down calls it on the income queue.
    virtual void stopSDK() = 0;
};

}  // namespace mvk
