#pragma once

#include <memory>
#include <shared_mutex>

#include "abtest/ABTestDefaultParamsCache.hpp"
#include "mvk/MVKRemoteConfigCollection.hpp"
#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// The host's defaults and the one collection handed to the host, for the
/// whole process: they outlive every core. Writers have the defaults to
/// themselves; log lines are left to the callers, after the lock, so a log
/// closure may read the collection. Lock order: the core's lock, then this.
class RemoteConfigStore {
  public:
    static RemoteConfigStore& shared();

    MVKRemoteConfigParameters defaults() const;
    std::shared_ptr<MVKRemoteConfigCollection> config() const { return localConfig_; }

    /// Replaces the defaults and rebuilds the collection from them.
    void setDefaults(MVKRemoteConfigParameters defaults);
    /// Overlays `config` on the collection (source remote, values updated in
    /// place); an empty `config` rebuilds it from the defaults. True when the
    /// overlay ran.
    bool apply(const MVKRemoteConfigParameters& config);
    /// Rebuilds the collection from the defaults.
    void reset();
    /// Hands the defaults last set to a core's cache.
    void seed(ABTestDefaultParamsCache& cache) const;

    /// Back to a fresh process: no defaults, an empty collection.
    void resetForTesting();

  private:
    RemoteConfigStore();
    void prepareDefaultConfig();

    mutable std::shared_mutex mutex_;
    MVKRemoteConfigParameters defaultFields_;
    const std::shared_ptr<MVKRemoteConfigCollection> localConfig_;
};

}  // namespace mvk
