#pragma once

#include <mutex>

#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// The host's default remote-configuration parameters, shared by the parts
/// that store them (on the remote-configuration queue) and the parts that
/// build a group's configuration from them (on the income queue), hence the
/// lock. Readers get a copy, so they never hold the lock while they work.
class ABTestDefaultParamsCache {
  public:
    using Defaults = MVKRemoteConfigParameters;

    ABTestDefaultParamsCache() = default;
    ABTestDefaultParamsCache(const ABTestDefaultParamsCache&) = delete;
    ABTestDefaultParamsCache& operator=(const ABTestDefaultParamsCache&) = delete;

    Defaults savedDefaults() const;
    void setSavedDefaults(Defaults defaults);

  private:
    mutable std::mutex mutex_;
    Defaults savedDefaults_;
};

}  // namespace mvk
