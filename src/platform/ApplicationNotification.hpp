#pragma once

namespace mvk {

/// Names of the life-cycle notifications that `Application` posts.
struct ApplicationNotification {
    static constexpr const char* didBecomeActive = "didBecomeActive";
    static constexpr const char* willResignActive = "willResignActive";
    static constexpr const char* didEnterBackground = "didEnterBackground";
    static constexpr const char* willTerminate = "willTerminate";
};

}  // namespace mvk
