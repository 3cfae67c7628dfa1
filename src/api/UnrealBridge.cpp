#include "mvk/UnrealBridge.hpp"

#include "core/Core.hpp"
#include "platform/GuardedCall.hpp"

namespace mvk {

bool UnrealBridge::isAnalyticsInited() noexcept {
    bool initialized = false;
    callGuarded("isAnalyticsInited", [&] { initialized = Core::shared()->isInitialized(); });
    return initialized;
}

}  // namespace mvk
