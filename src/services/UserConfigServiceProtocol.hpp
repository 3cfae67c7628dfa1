#pragma once

#include "records/ExperimentMarker.hpp"
#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// Turns an offered group's parameters into the remote configuration the host
/// will apply. Income queue only.
class UserConfigServiceProtocol {
  public:
    virtual ~UserConfigServiceProtocol() = default;

    /// Stores the group's converted parameters in the A/B manager's `config`;
    /// false when one did not convert or there are no defaults.
    virtual bool toRemoteConfigParameters(const ExperimentMarker& marker) = 0;
    virtual void clearRemoteConfigParameters() = 0;
    virtual MVKRemoteConfigParameters getUserConfig() = 0;
};

}  // namespace mvk
