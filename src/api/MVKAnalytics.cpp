#include "mvk/MVKAnalytics.hpp"

#include "analytics/MVKAnalyticsConfigurationLocal.hpp"
#include "backend/BackendConfigUrl.hpp"
#include "core/Core.hpp"
#include "core/CoreEnvironment.hpp"
#include "device/IdentifierCollector.hpp"
#include "device/KeychainStore.hpp"
#include "foundation/Logger.hpp"
#include "foundation/Utf8.hpp"
#include "platform/GuardedCall.hpp"
#include "storage/SQLiteProvider.hpp"

namespace mvk {

namespace {

/// The call frame of an analytics call: the entry queues the work, which
/// meets whichever core's logic is installed when it runs. Nothing more runs
/// on the host's thread; texts are repaired in the block.
template <typename Call>
void onProxy(const char* method, Call&& call) noexcept {
    callGuarded(method, [&] { call(Core::analyticsProxy()); });
}

}  // namespace

void MVKAnalytics::initialize(const std::string& applicationKey) noexcept {
    callGuarded("initialize",
                [&] { Core::initializeCurrent(Utf8::sanitized(applicationKey), std::nullopt); });
}

void MVKAnalytics::initialize(const std::string& applicationKey,
                              const MVKAnalyticsConfiguration& configuration) noexcept {
    callGuarded("initialize", [&] {
        Core::initializeCurrent(Utf8::sanitized(applicationKey),
                                MVKAnalyticsConfigurationLocal::from(configuration));
    });
}

void MVKAnalytics::initializeWithAbTest(
    const std::string& applicationKey,
    std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept {
    callGuarded("initializeWithAbTest", [&] {
        Core::initializeCurrent(Utf8::sanitized(applicationKey), std::nullopt, abConfigListener);
    });
}

void MVKAnalytics::initializeWithAbTest(
    const std::string& applicationKey, const MVKAnalyticsConfiguration& configuration,
    std::shared_ptr<MVKRemoteConfigListener> abConfigListener) noexcept {
    callGuarded("initializeWithAbTest", [&] {
        Core::initializeCurrent(Utf8::sanitized(applicationKey),
                                MVKAnalyticsConfigurationLocal::from(configuration),
                                abConfigListener);
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
        // The replaced callback goes here, outside the core's lock.
        const auto replaced = Core::withLiveCore([&](Core& core) {
            return core.analyticsObserver().setInitializationCallBack(std::move(callback));
        });
    });
}

void MVKAnalytics::setIdentifiersListener(
    std::shared_ptr<MVKIdentifiersListener> listener) noexcept {
    callGuarded("setIdentifiersListener", [&] {
        // The replaced listener goes here, outside the core's lock.
        const auto replaced = Core::withLiveCore([&](Core& core) {
            return core.analyticsObserver().addIdentifiersListener(std::move(listener));
        });
    });
}

void MVKAnalytics::setTestProxyUrl(const std::string& url) noexcept {
    callGuarded("setTestProxyUrl", [&] {
        Core::shared();
        // A started core has already sent to the gateway it had: a new one
        // would split one run's requests between two gateways.
        if (Core::isCurrentInitialized()) {
            Logger::writeLog(MVKLogLevel::error,
                             "The test proxy URL can't change while the SDK is initialized; call "
                             "destroySDK first. The URL stays as it was");
            return;
        }
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

void MVKAnalytics::getDeviceId(TextHandler completionHandler) noexcept {
    onProxy("getDeviceId",
            [&](AnalyticsProxy& proxy) { proxy.getDeviceId(std::move(completionHandler)); });
}

void MVKAnalytics::getSDKVersion(TextHandler completionHandler) noexcept {
    onProxy("getSDKVersion",
            [&](AnalyticsProxy& proxy) { proxy.getSDKVersion(std::move(completionHandler)); });
}

void MVKAnalytics::getTrackingAvailability(FlagHandler completionHandler) noexcept {
    onProxy("getTrackingAvailability", [&](AnalyticsProxy& proxy) {
        proxy.getTrackingAvailability(std::move(completionHandler));
    });
}

void MVKAnalytics::setTrackingAvailability(bool value) noexcept {
    onProxy("setTrackingAvailability",
            [&](AnalyticsProxy& proxy) { proxy.setTrackingAvailability(value); });
}

void MVKAnalytics::getUserId(TextHandler completionHandler) noexcept {
    onProxy("getUserId",
            [&](AnalyticsProxy& proxy) { proxy.getUserId(std::move(completionHandler)); });
}

void MVKAnalytics::setUserId(const std::string& userId) noexcept {
    onProxy("setUserId", [&](AnalyticsProxy& proxy) { proxy.setUserId(userId); });
}

void MVKAnalytics::replace(const std::string& fromUserId, const std::string& toUserId) noexcept {
    onProxy("replace", [&](AnalyticsProxy& proxy) { proxy.replaceUserId(fromUserId, toUserId); });
}

void MVKAnalytics::getCurrentLevel(NumberHandler completionHandler) noexcept {
    onProxy("getCurrentLevel",
            [&](AnalyticsProxy& proxy) { proxy.getCurrentLevel(std::move(completionHandler)); });
}

void MVKAnalytics::setCurrentLevel(std::int64_t currentLevel) noexcept {
    onProxy("setCurrentLevel", [&](AnalyticsProxy& proxy) { proxy.setCurrentLevel(currentLevel); });
}

void MVKAnalytics::levelUp(std::int64_t level) noexcept {
    onProxy("levelUp", [&](AnalyticsProxy& proxy) { proxy.levelUp(level, {}); });
}

void MVKAnalytics::levelUp(std::int64_t level, const Amounts& balances) noexcept {
    onProxy("levelUp", [&](AnalyticsProxy& proxy) { proxy.levelUp(level, balances); });
}

void MVKAnalytics::currentBalance(const Amounts& balance) noexcept {
    onProxy("currentBalance", [&](AnalyticsProxy& proxy) { proxy.currentBalance(balance); });
}

void MVKAnalytics::customEvent(const std::string& eventName) noexcept {
    onProxy("customEvent", [&](AnalyticsProxy& proxy) { proxy.customEvent(eventName, {}); });
}

void MVKAnalytics::customEvent(const std::string& eventName,
                               const MVKCustomEventParameters& parameters) noexcept {
    onProxy("customEvent",
            [&](AnalyticsProxy& proxy) { proxy.customEvent(eventName, parameters); });
}

void MVKAnalytics::sendBufferedEvents() noexcept {
    onProxy("sendBufferedEvents", [](AnalyticsProxy& proxy) { proxy.sendBufferedEvents(); });
}

void MVKAnalytics::virtualCurrencyPayment(const std::string& purchaseId,
                                          const std::string& purchaseType,
                                          std::int64_t purchaseAmount, std::int64_t purchasePrice,
                                          const std::string& purchaseCurrency) noexcept {
    onProxy("virtualCurrencyPayment", [&](AnalyticsProxy& proxy) {
        proxy.virtualCurrencyPayment(purchaseId, purchaseType, purchaseAmount,
                                     {{purchaseCurrency, purchasePrice}});
    });
}

void MVKAnalytics::virtualCurrencyPayment(const std::string& purchaseId,
                                          const std::string& purchaseType,
                                          std::int64_t purchaseAmount,
                                          const Amounts& resources) noexcept {
    onProxy("virtualCurrencyPayment", [&](AnalyticsProxy& proxy) {
        proxy.virtualCurrencyPayment(purchaseId, purchaseType, purchaseAmount, resources);
    });
}

void MVKAnalytics::currencyAccrual(const std::string& currencyName, std::int64_t currencyAmount,
                                   const std::string& source, MVKAccrualType accrualType) noexcept {
    onProxy("currencyAccrual", [&](AnalyticsProxy& proxy) {
        proxy.currencyAccrual(currencyName, currencyAmount, source, accrualType);
    });
}

void MVKAnalytics::startProgressionEvent(const std::string& eventName) noexcept {
    onProxy("startProgressionEvent",
            [&](AnalyticsProxy& proxy) { proxy.startProgressionEvent(eventName, {}); });
}

void MVKAnalytics::startProgressionEvent(
    const std::string& eventName, const MVKStartProgressionEventParameters& parameters) noexcept {
    onProxy("startProgressionEvent", [&](AnalyticsProxy& proxy) {
        proxy.startProgressionEvent(eventName,
                                    MVKStartProgressionEventParametersLocal::from(parameters));
    });
}

void MVKAnalytics::finishProgressionEvent(const std::string& eventName) noexcept {
    onProxy("finishProgressionEvent",
            [&](AnalyticsProxy& proxy) { proxy.finishProgressionEvent(eventName, {}); });
}

void MVKAnalytics::finishProgressionEvent(
    const std::string& eventName, const MVKFinishProgressionEventParameters& parameters) noexcept {
    onProxy("finishProgressionEvent", [&](AnalyticsProxy& proxy) {
        proxy.finishProgressionEvent(eventName,
                                     MVKFinishProgressionEventParametersLocal::from(parameters));
    });
}

void MVKAnalytics::realCurrencyPayment(const std::string& orderId, double price,
                                       const std::string& productId,
                                       const std::string& currencyCode) noexcept {
    onProxy("realCurrencyPayment", [&](AnalyticsProxy& proxy) {
        proxy.realCurrencyPayment(orderId, price, productId, currencyCode);
    });
}

void MVKAnalytics::isRestoreTransactionHistoryRequired(FlagHandler completionHandler) noexcept {
    onProxy("isRestoreTransactionHistoryRequired", [&](AnalyticsProxy& proxy) {
        proxy.isRestoreTransactionHistoryRequired(std::move(completionHandler));
    });
}

void MVKAnalytics::subscriptionHistory(
    const std::vector<MVKStoreTransaction>& transactions) noexcept {
    onProxy("subscriptionHistory",
            [&](AnalyticsProxy& proxy) { proxy.subscriptionHistory(transactions); });
}

void MVKAnalytics::subscriptionPayment(const MVKStoreTransaction& transaction,
                                       const MVKStoreProduct& product) noexcept {
    onProxy("subscriptionPayment",
            [&](AnalyticsProxy& proxy) { proxy.subscriptionPayment(transaction, product); });
}

void MVKAnalytics::socialNetworkConnect(const MVKSocialNetwork& socialNetwork) noexcept {
    onProxy("socialNetworkConnect", [&](AnalyticsProxy& proxy) {
        proxy.socialNetworkConnect(MVKSocialNetworkLocal::from(socialNetwork));
    });
}

void MVKAnalytics::socialNetworkPost(const MVKSocialNetwork& socialNetwork,
                                     const std::string& reason) noexcept {
    onProxy("socialNetworkPost", [&](AnalyticsProxy& proxy) {
        proxy.socialNetworkPost(MVKSocialNetworkLocal::from(socialNetwork), reason);
    });
}

void MVKAnalytics::tutorial(std::int64_t step) noexcept {
    onProxy("tutorial", [&](AnalyticsProxy& proxy) { proxy.tutorial(step); });
}

void MVKAnalytics::referrer(const ReferralData& utmData) noexcept {
    onProxy("referrer", [&](AnalyticsProxy& proxy) { proxy.referrer(utmData); });
}

void MVKAnalytics::adImpression(const std::string& network, double revenue,
                                MVKOptionalText placement, MVKOptionalText unit) noexcept {
    onProxy("adImpression", [&](AnalyticsProxy& proxy) {
        proxy.adImpression(network, revenue, placement.value(), unit.value());
    });
}

MVKAnalytics::LoggerMessageClosure MVKAnalytics::loggerMessageClosure() noexcept {
    LoggerMessageClosure closure;
    callGuarded("loggerMessageClosure", [&] { closure = Logger::loggerMessageClosure(); });
    return closure;
}

void MVKAnalytics::setLoggerMessageClosure(LoggerMessageClosure closure) noexcept {
    callGuarded("setLoggerMessageClosure",
                [&] { Logger::setLoggerMessageClosure(std::move(closure)); });
}

std::string MVKAnalytics::sdkFolderPath() noexcept {
    try {
        if (auto folder = SQLiteProvider::folderPath()) {
            return folder->string();
        }
        return "fileMessagerError";
    } catch (...) {
        return "fileMessagerError";
    }
}

void MVKAnalytics::clearKeychain() noexcept {
    callGuarded("clearKeychain", [] {
        const auto environment = CoreEnvironment::current();
        if (!environment.platformServices) {
            return;
        }
        const auto services = environment.platformServices();
        if (!services.secureStore) {
            return;
        }
        // Start-up stores each item behind the application's name; the bare
        // names are cleared too, for items an earlier version left there.
        const std::string bundleName =
            services.application ? services.application->bundleName() : std::string();
        for (const char* item :
             {IdentifierCollector::currentIdItem, IdentifierCollector::prevIdItem,
              IdentifierCollector::customUdidItem}) {
            KeychainStore store(services.secureStore);
            store.deleteNoLock(item);
            if (!bundleName.empty()) {
                store.deleteNoLock(IdentifierCollector::itemAccount(bundleName, item));
            }
        }
    });
}

void MVKAnalytics::testLogs() noexcept {
    callGuarded("testLogs", [] {
        Logger::writeLog(MVKLogLevel::error, "this is error message");
        Logger::writeLog(MVKLogLevel::warning, "this is warning message");
        Logger::writeLog(MVKLogLevel::info, "this is info message");
        Logger::writeLog(MVKLogLevel::debug, "this is debug message");
    });
}

void MVKAnalytics::coppaControlEnable() noexcept {
    callGuarded("coppaControlEnable", [] {
        Core::shared();
        Core::enableCoppaControl();
    });
}

}  // namespace mvk
