#pragma once

#include <functional>
#include <memory>
#include <string>

#include "mvk/Export.hpp"
#include "mvk/MVKAnalyticsConfiguration.hpp"
#include "mvk/MVKIdentifiersListener.hpp"
#include "mvk/MVKLogLevel.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"

namespace mvk {

/// The library's entry for the game. Every call may be made from any thread,
/// returns at once and never throws; work that changes state runs later, in
/// call order, on the library's own queue.
class MVK_EXPORT MVKAnalytics {
  public:
    MVKAnalytics() = delete;

    /// Starts the library for the application key. Only the first call of a
    /// run counts; a later one is logged and ignored. Calls made before start-up
    /// has finished wait for it.
    static void initialize(const std::string& applicationKey) noexcept;
    static void initialize(const std::string& applicationKey,
                           const MVKAnalyticsConfiguration& configuration) noexcept;
    /// Starts the library with the A/B feature: the listener hears about
    /// experiments and groups (see `MVKRemoteConfig`). A null listener starts
    /// the library without it.
    static void initializeWithAbTest(
        const std::string& applicationKey,
        std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept;
    static void initializeWithAbTest(
        const std::string& applicationKey, const MVKAnalyticsConfiguration& configuration,
        std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept;

    /// Lines of this level and more severe are written; default `error`.
    static MVKLogLevel logLevel() noexcept;
    /// `unknown` is ignored.
    static void setLogLevel(MVKLogLevel logLevel) noexcept;

    /// Called once on the library's main loop when start-up has finished, at
    /// once (posted) when it already has. An empty function removes it.
    static void setInitializationCompleteCallback(std::function<void()> callback) noexcept;

    /// Hears the backend's identifier of the player; replaces any earlier
    /// listener. The library keeps the listener until it is replaced.
    static void setIdentifiersListener(std::shared_ptr<MVKIdentifiersListener> listener) noexcept;

    /// For testing against another gateway: its base address ("https://host:port"),
    /// used unchecked; an empty text goes back to the default gateway.
    static void setTestProxyUrl(const std::string& url) noexcept;
    /// Hands the current test address to `urlHandler`, on the caller's thread.
    static void getTestProxyUrl(const std::function<void(const std::string&)>& urlHandler) noexcept;
    /// A path put between the gateway's address and its endpoints; empty for none.
    static void setTestCustomUrl(const std::string& url) noexcept;
    static void getTestCustomUrl(
        const std::function<void(const std::string&)>& urlHandler) noexcept;

    /// Children's-privacy mode: no advertising or vendor identifier is read.
    /// It counts from the next `initialize` on and holds for the rest of the
    /// process, also across `MVKEngineWrapper::destroySDK`.
    static void coppaControlEnable() noexcept;
};

}  // namespace mvk
