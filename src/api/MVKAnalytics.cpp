#include "mvk/MVKAnalytics.hpp"

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "core/Core.hpp"
#include "foundation/Logger.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/Utf8.hpp"

namespace mvk {

void MVKAnalytics::initialize(const std::string& applicationKey) noexcept {
    callGuarded("initialize",
                [&] { Core::shared()->initialize(Utf8::sanitized(applicationKey), std::nullopt); });
}

void MVKAnalytics::initialize(const std::string& applicationKey,
                              const MVKAnalyticsConfiguration& configuration) noexcept {
    callGuarded("initialize", [&] {
        Core::shared()->initialize(Utf8::sanitized(applicationKey),
                                   MVKAnalyticsConfigurationLocal::from(configuration));
    });
}

void MVKAnalytics::initializeWithAbTest(
    const std::string& applicationKey,
    std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept {
    callGuarded("initializeWithAbTest", [&] {
        Core::shared()->initialize(Utf8::sanitized(applicationKey), std::nullopt,
                                   std::move(abConfigListener));
    });
}

void MVKAnalytics::initializeWithAbTest(
    const std::string& applicationKey, const MVKAnalyticsConfiguration& configuration,
    std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept {
    callGuarded("initializeWithAbTest", [&] {
        Core::shared()->initialize(Utf8::sanitized(applicationKey),
                                   MVKAnalyticsConfigurationLocal::from(configuration),
                                   std::move(abConfigListener));
    });
}

MVKLogLevel MVKAnalytics::logLevel() noexcept {
    return Logger::logLevel();
}

void MVKAnalytics::setLogLevel(MVKLogLevel logLevel) noexcept {
    if (logLevel != MVKLogLevel::unknown) {
        Logger::setLogLevel(logLevel);
    }
}

void MVKAnalytics::setInitializationCompleteCallback(std::function<void()> callback) noexcept {
    callGuarded("setInitializationCompleteCallback", [&] {
        Core::shared()->analyticsObserver().setInitializationCallBack(std::move(callback));
    });
}

void MVKAnalytics::setIdentifiersListener(
    std::shared_ptr<MVKIdentifiersListener> listener) noexcept {
    callGuarded("setIdentifiersListener", [&] {
        Core::shared()->analyticsObserver().addIdentifiersListener(std::move(listener));
    });
}

void MVKAnalytics::setTestProxyUrl(const std::string& url) noexcept {
    callGuarded("setTestProxyUrl", [&] {
        Core::shared();
        BackendConfigUrl::setTestProxyUrl(Utf8::sanitized(url));
    });
}

void MVKAnalytics::getTestProxyUrl(
    const std::function<void(const std::string&)>& urlHandler) noexcept {
    callGuarded("getTestProxyUrl", [&] {
        Core::shared();
        if (urlHandler) {
            urlHandler(BackendConfigUrl::testProxyUrl());
        }
    });
}

void MVKAnalytics::setTestCustomUrl(const std::string& url) noexcept {
    callGuarded("setTestCustomUrl", [&] {
        Core::shared();
        BackendConfigUrl::setTestCustomUrl(Utf8::sanitized(url));
    });
}

void MVKAnalytics::getTestCustomUrl(
    const std::function<void(const std::string&)>& urlHandler) noexcept {
    callGuarded("getTestCustomUrl", [&] {
        Core::shared();
        if (urlHandler) {
            urlHandler(BackendConfigUrl::testCustomUrl());
        }
    });
}

void MVKAnalytics::coppaControlEnable() noexcept {
    callGuarded("coppaControlEnable", [] {
        Core::shared();
        Core::enableCoppaControl();
    });
}

}  // namespace mvk
