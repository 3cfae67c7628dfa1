#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "mvk/Export.hpp"
#include "mvk/MVKAccrualType.hpp"
#include "mvk/MVKAnalyticsConfiguration.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "mvk/MVKFinishProgressionEventParameters.hpp"
#include "mvk/MVKIdentifiersListener.hpp"
#include "mvk/MVKLogLevel.hpp"
#include "mvk/MVKOptionalText.hpp"
#include "mvk/MVKReferralProperty.hpp"
#include "mvk/MVKRemoteConfigListener.hpp"
#include "mvk/MVKSocialNetwork.hpp"
#include "mvk/MVKStartProgressionEventParameters.hpp"
#include "mvk/MVKStoreProduct.hpp"
#include "mvk/MVKStoreTransaction.hpp"

namespace mvk {

/// The library's entry for the game. Every call may be made from any thread,
/// returns at once and never throws; work that changes state runs later, in
/// call order, on the library's own queue. Texts that are not valid UTF-8 get
/// U+FFFD in place of each invalid sequence.
///
/// Getters answer through their handler, once, on the library's queue (never
/// on the caller's thread); before start-up (also between
/// `MVKEngineWrapper::destroySDK` and the next start-up) with the default
/// named beside them. A handler runs after every call the same thread made
/// before the getter has been handled, so a host may use a getter as a
/// barrier. This holds whatever the backlog: a getter is never refused at the
/// bound on the calls waiting to be stored (it counts against the other
/// calls), so it keeps its handler until the queue reaches it. A handler must
/// not wait there for another answer of the library: that answer would come
/// on the same queue, after it. Whatever a
/// handler throws is logged and goes no further.
class MVK_EXPORT MVKAnalytics {
  public:
    using TextHandler = std::function<void(const std::string&)>;
    using FlagHandler = std::function<void(bool)>;
    using NumberHandler = std::function<void(std::int64_t)>;
    /// Currency or resource name to amount.
    using Amounts = std::map<std::string, std::int64_t>;
    using ReferralData = std::unordered_map<MVKReferralProperty, std::string>;
    using LoggerMessageClosure = std::function<void(const std::string&)>;

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
    /// listener. The library keeps the listener until it is replaced or
    /// `MVKEngineWrapper::destroySDK` drops it; set it again after a destroy.
    static void setIdentifiersListener(std::shared_ptr<MVKIdentifiersListener> listener) noexcept;

    /// For testing against another gateway: its base address
    /// ("https://host:port", or "http://127.0.0.1:PORT" for a local one without
    /// TLS), used unchecked; an empty text goes back to the default gateway.
    /// Set it before `initialize`: from then until `MVKEngineWrapper::destroySDK`
    /// it is refused with an error line.
    static void setTestProxyUrl(const std::string& url) noexcept;
    /// Hands the current test address to `urlHandler`, on the caller's thread.
    static void getTestProxyUrl(const std::function<void(const std::string&)>& urlHandler) noexcept;
    /// A path put between the gateway's address and its endpoints; empty for none.
    static void setTestCustomUrl(const std::string& url) noexcept;
    static void getTestCustomUrl(
        const std::function<void(const std::string&)>& urlHandler) noexcept;

    /// Default "".
    static void getDeviceId(TextHandler completionHandler) noexcept;
    /// Default "".
    static void getSDKVersion(TextHandler completionHandler) noexcept;
    /// Default false.
    static void getTrackingAvailability(FlagHandler completionHandler) noexcept;
    static void setTrackingAvailability(bool value) noexcept;
    /// A text would silently become `true`.
    static void setTrackingAvailability(const char*) = delete;
    /// Default "".
    static void getUserId(TextHandler completionHandler) noexcept;
    static void setUserId(const std::string& userId) noexcept;
    static void replace(const std::string& fromUserId, const std::string& toUserId) noexcept;
    /// Default 1.
    static void getCurrentLevel(NumberHandler completionHandler) noexcept;
    /// 1 to 2147483646; other values are refused with an error line.
    static void setCurrentLevel(std::int64_t currentLevel) noexcept;
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void setCurrentLevel(Fraction) = delete;
    static void levelUp(std::int64_t level) noexcept;
    static void levelUp(std::int64_t level, const Amounts& balances) noexcept;
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void levelUp(Fraction) = delete;
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void levelUp(Fraction, const Amounts&) = delete;
    static void currentBalance(const Amounts& balance) noexcept;

    static void customEvent(const std::string& eventName) noexcept;
    /// Takes the parameters as they are at the call; later changes to the
    /// object are not seen. Taking them copies nothing (see
    /// `MVKCustomEventParameters`).
    static void customEvent(const std::string& eventName,
                            const MVKCustomEventParameters& parameters) noexcept;
    /// Asks for the stored events to be sent now.
    static void sendBufferedEvents() noexcept;

    /// A purchase paid with one in-game currency.
    static void virtualCurrencyPayment(const std::string& purchaseId,
                                       const std::string& purchaseType, std::int64_t purchaseAmount,
                                       std::int64_t purchasePrice,
                                       const std::string& purchaseCurrency) noexcept;
    /// A purchase paid with several currencies, name to amount.
    static void virtualCurrencyPayment(const std::string& purchaseId,
                                       const std::string& purchaseType, std::int64_t purchaseAmount,
                                       const Amounts& resources) noexcept;
    static void currencyAccrual(const std::string& currencyName, std::int64_t currencyAmount,
                                const std::string& source, MVKAccrualType accrualType) noexcept;
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void currencyAccrual(const std::string&, Fraction, const std::string&,
                                MVKAccrualType) = delete;

    static void startProgressionEvent(const std::string& eventName) noexcept;
    static void startProgressionEvent(
        const std::string& eventName,
        const MVKStartProgressionEventParameters& parameters) noexcept;
    /// An unsuccessful progression of no length, without resources.
    static void finishProgressionEvent(const std::string& eventName) noexcept;
    static void finishProgressionEvent(
        const std::string& eventName,
        const MVKFinishProgressionEventParameters& parameters) noexcept;

    static void realCurrencyPayment(const std::string& orderId, double price,
                                    const std::string& productId,
                                    const std::string& currencyCode) noexcept;

    /// Default false.
    static void isRestoreTransactionHistoryRequired(FlagHandler completionHandler) noexcept;
    static void subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) noexcept;
    static void subscriptionPayment(const MVKStoreTransaction& transaction,
                                    const MVKStoreProduct& product) noexcept;

    static void socialNetworkConnect(const MVKSocialNetwork& socialNetwork) noexcept;
    static void socialNetworkPost(const MVKSocialNetwork& socialNetwork,
                                  const std::string& reason) noexcept;
    /// -2 to 2147483647; other steps are refused with an error line.
    static void tutorial(std::int64_t step) noexcept;
    /// A fraction would be cut silently.
    template <typename Fraction>
    requires std::is_floating_point_v<Fraction>
    static void tutorial(Fraction) = delete;
    static void referrer(const ReferralData& utmData) noexcept;
    /// `placement` and `unit` may be absent (`std::nullopt`, or a null pointer).
    static void adImpression(const std::string& network, double revenue, MVKOptionalText placement,
                             MVKOptionalText unit) noexcept;

    /// Kept and handed back only: the library never calls it. Log lines reach
    /// the host through `MVKEngineWrapper::setEngineLoggerMessageClosure`.
    static LoggerMessageClosure loggerMessageClosure() noexcept;
    static void setLoggerMessageClosure(LoggerMessageClosure closure) noexcept;

    /// The library's data folder, or "fileMessagerError" when it has none.
    static std::string sdkFolderPath() noexcept;
    /// Deletes the identifiers the library keeps in the secure store: the
    /// previous device identifier and the installation's random one. The
    /// next start-up reads the system's identifier again, so the device
    /// identifier stays where the system gives one; a random device
    /// identifier (none given, or children's privacy) is made anew.
    static void clearKeychain() noexcept;
    /// One line at each of the levels error, warning, info and debug, as far
    /// as the log level admits them.
    static void testLogs() noexcept;

    /// Children's-privacy mode: no advertising or vendor identifier is read;
    /// the device identifier is one random identifier kept for the
    /// installation. It counts from the next `initialize` on and holds for the
    /// rest of the process, also across `MVKEngineWrapper::destroySDK`.
    static void coppaControlEnable() noexcept;
};

}  // namespace mvk
