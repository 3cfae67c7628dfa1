#pragma once

#include <memory>

#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// The host's remote-configuration listener; the public remote-configuration
/// interface defines it.
class MVKRemoteConfigListener;

/// The A/B logic as start-up and the proxy drive it. Every member but
/// `getConfig` runs on the income queue.
class ABTestLogicProtocol {
  public:
    virtual ~ABTestLogicProtocol() = default;

    /// Keeps the listener and installs the callbacks, before `startABTestLogic`.
    virtual void prepareInitialState(std::shared_ptr<MVKRemoteConfigListener> listener) = 0;
    virtual void startABTestLogic() = 0;
    /// The host applies the offered configuration.
    virtual void tryStartInvolvedExperiment() = 0;
    /// The applied remote parameters; called on the host's thread.
    virtual MVKRemoteConfigParameters getConfig() = 0;
    virtual void resetConfig() = 0;
};

}  // namespace mvk
