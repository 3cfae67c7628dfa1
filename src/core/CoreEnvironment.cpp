#include "core/CoreEnvironment.hpp"

#include <mutex>

#include "platform/Application.hpp"
#include "platform/NotificationCenter.hpp"
#include "platform/RunLoop.hpp"

namespace mvk {

namespace {

struct Installed {
    std::mutex mutex;
    std::optional<CoreEnvironment> environment;
};

Installed& installed() {
    static auto* value = new Installed();
    return *value;
}

}  // namespace

CoreEnvironment CoreEnvironment::system() {
    return CoreEnvironment{
        Application::shared(),       NotificationCenter::defaultCenter(),       RunLoop::main(),
        RunLoop::delayedScheduler(), [] { return PlatformServices::system(); }, nullptr,
    };
}

CoreEnvironment CoreEnvironment::current() {
    auto& value = installed();
    {
        std::lock_guard lock(value.mutex);
        if (value.environment) {
            return *value.environment;
        }
    }
    return system();
}

void CoreEnvironment::install(std::optional<CoreEnvironment> environment) {
    auto& value = installed();
    std::lock_guard lock(value.mutex);
    std::swap(value.environment, environment);
}

}  // namespace mvk
