#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKStore.hpp"

namespace mvk {

/// How the host tells the library about the application: its life cycle, and,
/// before start-up, what the application and its screen are. Every call may be
/// made from any thread and never throws.
class MVK_EXPORT MVKApplication {
  public:
    MVKApplication() = delete;

    /// The application came to the foreground and takes input. The library
    /// takes the application as active until told otherwise.
    static void didBecomeActive() noexcept;
    /// The application is about to stop taking input (a system overlay, a
    /// window losing focus, the way to the background).
    ///
    /// This call and the next two end the session, and wait until that and
    /// every call made before them is stored and committed, so the process
    /// may be suspended or killed once they return. They wait 2 seconds at
    /// most (a long backlog of calls, a database another program keeps
    /// locked, a slow disk): past that they return with an error line, and
    /// the work goes on behind them. Make them where such a wait is fine.
    static void willResignActive() noexcept;
    /// The application went to the background; waits as `willResignActive`.
    static void didEnterBackground() noexcept;
    /// The application is about to quit; waits as `willResignActive`.
    static void willTerminate() noexcept;

    /// Shown in keys the library keeps per application; the executable's
    /// name when not set or empty.
    static void setBundleName(const std::string& name) noexcept;
    /// The application's unique identifier ("com.example.game"); the
    /// executable's name when not set or empty.
    static void setBundleIdentifier(const std::string& identifier) noexcept;
    /// The version users see ("1.4.2").
    static void setVersion(const std::string& version) noexcept;
    /// The build number ("1402").
    static void setBuildVersion(const std::string& buildVersion) noexcept;
    /// True for a development or test build, false for a released one.
    static void setSandbox(bool isSandbox) noexcept;

    /// The screen in physical pixels; a side that is not positive clears it.
    static void setScreenSize(std::int64_t widthPixels, std::int64_t heightPixels) noexcept;
    /// Pixels per inch; a value that is not positive clears it.
    static void setScreenPpi(std::int64_t ppi) noexcept;

    /// The file holding the application's purchase receipt, which
    /// `MVKAntiCheat::verifyPayment` without a receipt text reads and sends.
    /// An empty path clears it; without one there is no receipt.
    static void setAppStoreReceiptPath(const std::string& path) noexcept;

    /// The folder the library keeps its files in: its database (under
    /// "morvanix/") and the device identifiers of the secure store. Set it
    /// before `MVKAnalytics::initialize`: from then until
    /// `MVKEngineWrapper::destroySDK` it is refused with an error line. It
    /// must be an absolute path; a
    /// relative one is refused with an error line. An empty path goes back to
    /// the default: `$XDG_DATA_HOME` (else `~/.local/share`) plus a folder
    /// named after the executable. Missing folders are made with mode 0700.
    static void setDataFolder(const std::string& path) noexcept;

    /// The application store the library asks for subscription products.
    /// Install it before `MVKAnalytics::initialize`; null removes it. Without
    /// one, no products are reported.
    static void setStore(std::shared_ptr<MVKStore> store) noexcept;
};

}  // namespace mvk
