#pragma once

#include <memory>

#include "mvk/Export.hpp"
#include "mvk/MVKRemoteConfigCollection.hpp"
#include "mvk/MVKRemoteConfigDefault.hpp"

namespace mvk {

/// The host's side of remote configuration: the waits and the test-experiment
/// flag before start-up, the default parameters, the collection of values,
/// and applying or resetting the group the A/B feature prepared. Every member
/// may be called from any thread and never throws.
class MVK_EXPORT MVKRemoteConfig {
  public:
    MVKRemoteConfig() = delete;

    /// Seconds to wait for the experiments configuration; 0 (default) waits
    /// without limit. Refused after `initialize`, and for NaN or below 0.
    static double remoteConfigWaiting() noexcept;
    static void setRemoteConfigWaiting(double newValue) noexcept;
    /// Seconds to wait for a group and its apply; default 10, at least 0.1.
    /// Refused after `initialize`.
    static double groupDefinitionWaiting() noexcept;
    static void setGroupDefinitionWaiting(double newValue) noexcept;
    /// Keeps a test experiment's group over restarts. Setting a wait clears
    /// it, so call it after the waits.
    static void cacheTestExperiment() noexcept;

    /// Kept for the whole process, also over `destroySDK`.
    static MVKRemoteConfigParameters defaults() noexcept;
    /// Replaces the defaults entirely; the collection then holds them.
    static void setDefaults(const MVKRemoteConfigParameters& defaults) noexcept;
    /// The one collection of the process.
    static std::shared_ptr<MVKRemoteConfigCollection> config() noexcept;

    /// Applies the prepared group (source remote) and starts the experiment;
    /// with nothing prepared the collection returns to the defaults.
    static void applyConfig() noexcept;
    /// Drops the group; the collection returns to the defaults.
    static void resetConfig() noexcept;
};

}  // namespace mvk
