#pragma once

#include "mvk/Export.hpp"

namespace mvk {

/// Queries the engine plugin makes of the library. Any thread; never throws.
class MVK_EXPORT UnrealBridge {
  public:
    UnrealBridge() = delete;

    /// True from the moment `initialize` was accepted (before start-up has
    /// finished, and also when it failed) until `MVKEngineWrapper::destroySDK`
    /// is called.
    static bool isAnalyticsInited() noexcept;
};

}  // namespace mvk
