#pragma once

#include <optional>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKRemoteConfigChangeResult.hpp"
#include "mvk/MVKRemoteConfigReceiveResult.hpp"

namespace mvk {

/// The host's view of the A/B feature. Called on the library's income queue,
/// never on the host's main thread and never under a lock of the library, so
/// a listener may call back into it. Within one offer the calls come in the
/// order received, prepare, changed. An exception thrown here is logged and
/// swallowed.
class MVK_EXPORT MVKRemoteConfigListener {
  public:
    virtual ~MVKRemoteConfigListener() = default;

    /// The experiments configuration arrived (or its wait expired).
    virtual void onReceivedResult(MVKRemoteConfigReceiveResult result) = 0;
    /// An experiment fits the player; a group is being asked for.
    virtual void onPrepareToChange() = 0;
    /// The group's configuration is ready for `MVKRemoteConfig::applyConfig`
    /// (success), or the experiment was dropped, with the reason.
    virtual void onChangedResult(MVKRemoteConfigChangeResult result,
                                 const std::optional<std::string>& error) = 0;
};

}  // namespace mvk
