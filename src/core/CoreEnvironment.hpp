#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "device/PlatformServices.hpp"
#include "platform/ApplicationStateProtocol.hpp"
#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/MainLoopProtocol.hpp"
#include "platform/NotificationCenterProtocol.hpp"
#include "platform/URLSessionProtocol.hpp"

namespace mvk {

/// The host-side surroundings a core is built into: where the application's
/// state and life-cycle notifications come from, the main loop of the timers
/// and the host callbacks, the delayed scheduler of retries, the system
/// services the platform layer reads, and the session requests go out on. A
/// core takes the environment current when it is created; tests install
/// their own before that.
struct CoreEnvironment {
    std::shared_ptr<ApplicationStateProtocol> application;
    std::shared_ptr<NotificationCenterProtocol> notificationCenter;
    std::shared_ptr<MainLoopProtocol> mainLoop;
    std::shared_ptr<DelayedSchedulerProtocol> delayedScheduler;
    /// Called when start-up builds the platform layer, so the host's settings
    /// made before `initialize` count.
    std::function<PlatformServices()> platformServices;
    /// Where the gateway requests go out; none: the platform's shared session.
    std::shared_ptr<URLSessionProtocol> urlSession{};

    /// The host application, the process-wide centre and loops, the machine's services.
    static CoreEnvironment system();

    static CoreEnvironment current();
    /// Replaces the environment of cores created from now on; none puts the
    /// system's back.
    static void install(std::optional<CoreEnvironment> environment);
};

}  // namespace mvk
