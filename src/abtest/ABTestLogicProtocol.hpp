#pragma once

namespace mvk {

/// The remote-configuration calls, as the proxy forwards them to the A/B logic.
class ABTestLogicProtocol {
  public:
    virtual ~ABTestLogicProtocol() = default;
};

}  // namespace mvk
