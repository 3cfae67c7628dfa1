#include "mvk/MVKApplication.hpp"

#include <filesystem>

#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "platform/Application.hpp"
#include "platform/ApplicationInfo.hpp"
#include "platform/ApplicationSupportDirectory.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/MachineDeviceInfo.hpp"
#include "platform/Store.hpp"

namespace mvk {

void MVKApplication::didBecomeActive() noexcept {
    callGuarded("didBecomeActive", [] { Application::shared()->didBecomeActive(); });
}

void MVKApplication::willResignActive() noexcept {
    callGuarded("willResignActive", [] { Application::shared()->willResignActive(); });
}

void MVKApplication::didEnterBackground() noexcept {
    callGuarded("didEnterBackground", [] { Application::shared()->didEnterBackground(); });
}

void MVKApplication::willTerminate() noexcept {
    callGuarded("willTerminate", [] { Application::shared()->willTerminate(); });
}

void MVKApplication::setBundleName(const std::string& name) noexcept {
    callGuarded("setBundleName", [&] { ApplicationInfo::shared()->setBundleName(name); });
}

void MVKApplication::setBundleIdentifier(const std::string& identifier) noexcept {
    callGuarded("setBundleIdentifier",
                [&] { ApplicationInfo::shared()->setBundleIdentifier(identifier); });
}

void MVKApplication::setVersion(const std::string& version) noexcept {
    callGuarded("setVersion", [&] { ApplicationInfo::shared()->setApplicationVersion(version); });
}

void MVKApplication::setBuildVersion(const std::string& buildVersion) noexcept {
    callGuarded("setBuildVersion",
                [&] { ApplicationInfo::shared()->setApplicationBuildVersion(buildVersion); });
}

void MVKApplication::setSandbox(bool isSandbox) noexcept {
    callGuarded("setSandbox", [&] { ApplicationInfo::shared()->setSandbox(isSandbox); });
}

void MVKApplication::setAppStoreReceiptPath(const std::string& path) noexcept {
    callGuarded("setAppStoreReceiptPath",
                [&] { ApplicationInfo::shared()->setAppStoreReceiptPath(path); });
}

void MVKApplication::setScreenSize(std::int64_t widthPixels, std::int64_t heightPixels) noexcept {
    callGuarded("setScreenSize",
                [&] { MachineDeviceInfo::shared()->setScreenSize(widthPixels, heightPixels); });
}

void MVKApplication::setScreenPpi(std::int64_t ppi) noexcept {
    callGuarded("setScreenPpi", [&] { MachineDeviceInfo::shared()->setScreenPpi(ppi); });
}

void MVKApplication::setDataFolder(const std::string& path) noexcept {
    callGuarded("setDataFolder", [&] {
        const std::filesystem::path folder(path);
        // A relative folder would move with the game's working directory.
        if (!folder.empty() && !folder.is_absolute()) {
            Logger::writeLog(
                MVKLogLevel::error,
                "The data folder must be an absolute path; the folder stays as it was");
            return;
        }
        // The started core keeps its database where it opened it; a new
        // folder would only make `sdkFolderPath()` name the wrong one.
        if (Core::isCurrentInitialized()) {
            Logger::writeLog(MVKLogLevel::error,
                             "The data folder can't change while the SDK is initialized; call "
                             "destroySDK first. The folder stays as it was");
            return;
        }
        ApplicationSupportDirectory::setOverride(folder);
    });
}

void MVKApplication::setStore(std::shared_ptr<MVKStore> store) noexcept {
    callGuarded("setStore", [&] { Store::install(std::move(store)); });
}

}  // namespace mvk
