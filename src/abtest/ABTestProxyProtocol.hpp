#pragma once

#include <memory>

#include "abtest/ABTestLogicProtocol.hpp"
#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// Entry of the remote-configuration calls.
class ABTestProxyProtocol {
  public:
    virtual ~ABTestProxyProtocol() = default;

    /// Installs the A/B logic; start-up calls it only when the host gave a
    /// remote-configuration listener.
    virtual void initialize(std::shared_ptr<ABTestLogicProtocol> abTestLogic) = 0;
    /// Queued on the income queue.
    virtual void tryStartInvolvedExperiment() = 0;
    /// Answered on the caller's thread; empty without a logic.
    virtual MVKRemoteConfigParameters getConfig() = 0;
    /// Queued on the income queue.
    virtual void resetConfig() = 0;
};

}  // namespace mvk
