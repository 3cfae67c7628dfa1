#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "analytics/AnalyticsProtocol.hpp"
#include "mvk/MVKCustomEventParameters.hpp"
#include "state/LogicProxyBase.hpp"

namespace mvk {

/// Entry of every analytics call. Each operation only moves its arguments
/// into one block on the income queue; the block repairs the texts' UTF-8,
/// validates, asks whether the configuration excludes the event and then
/// calls the logic. Until start-up installs the logic each queued call is
/// dropped with the not-initialised line, and a getter's completion gets its
/// default: also when the proxy is gone before the block runs (after
/// `destroySDK`), then silently.
///
/// Completions come from the host: they run on the income queue, outside the
/// library's locks, and nothing they throw goes further.
class AnalyticsProxy final : public LogicProxyBase<AnalyticsProtocol> {
  public:
    using TextCompletion = AnalyticsProtocol::TextCompletion;
    using FlagCompletion = AnalyticsProtocol::FlagCompletion;
    using NumberCompletion = AnalyticsProtocol::NumberCompletion;
    using Amounts = AnalyticsProtocol::Amounts;
    using ReferralData = AnalyticsProtocol::ReferralData;
    using TransactionHistory = AnalyticsProtocol::TransactionHistory;

    explicit AnalyticsProxy(SerialQueue& queue = QueueManager::incomeQueue().queue());

    /// Installs the logic, or removes it with none, and takes over its
    /// parameter limit.
    void installLogic(std::shared_ptr<AnalyticsProtocol> logic);
    /// Reads the installed logic's parameter limit again: the logic calls it
    /// when an applied configuration changed it.
    void refreshCustomEventParamsCount();

    /// Runs on the caller's queue, not queued: the shut-down block calls it
    /// on the income queue already.
    void stopSDK();

    void getDeviceId(TextCompletion completion);
    void getSDKVersion(TextCompletion completion);
    void getUserId(TextCompletion completion);
    void getCurrentLevel(NumberCompletion completion);
    void getTrackingAvailability(FlagCompletion completion);
    void setUserId(std::string userId);
    void replaceUserId(std::string fromUserId, std::string toUserId);
    void setCurrentLevel(std::int64_t level);
    void setTrackingAvailability(bool allowed);
    /// `parameters` is packed into one block for the queue: later changes of
    /// the host's object are not seen.
    void customEvent(std::string name, const MVKCustomEventParameters& parameters);
    void currencyAccrual(std::string currencyName, std::int64_t amount, std::string source,
                         MVKAccrualType type);
    void virtualCurrencyPayment(std::string purchaseId, std::string purchaseType,
                                std::int64_t purchaseAmount, Amounts resources);
    void levelUp(std::int64_t level, Amounts balances);
    void currentBalance(Amounts balances);
    void startProgressionEvent(std::string name,
                               MVKStartProgressionEventParametersLocal parameters);
    void finishProgressionEvent(std::string name,
                                MVKFinishProgressionEventParametersLocal parameters);
    void realCurrencyPayment(std::string orderId, double price, std::string productId,
                             std::string currencyCode);
    void isRestoreTransactionHistoryRequired(FlagCompletion completion);
    void subscriptionHistory(std::vector<MVKStoreTransaction> transactions);
    /// The engine form: product identifier to its transaction ids.
    void subscriptionHistory(TransactionHistory history);
    void subscriptionPayment(MVKStoreTransaction transaction, MVKStoreProduct product);
    /// The engine form; the exclusion test comes before validation.
    void subscriptionPayment(std::string productId, std::string transactionId);
    void tutorial(std::int64_t step);
    void socialNetworkConnect(MVKSocialNetworkLocal network);
    void socialNetworkPost(MVKSocialNetworkLocal network, std::string reason);
    void referrer(ReferralData data);
    void sendBufferedEvents();
    void adImpression(std::string network, double revenue, std::optional<std::string> placement,
                      std::optional<std::string> unit);

    /// How many parameters a custom event may carry: the installed logic's
    /// limit, or the default configuration's without one. Read on the
    /// caller's thread for every parameter a game adds, so it takes no lock
    /// and no reference: host threads only ever read its cache line.
    std::int64_t getCustomEventParamsCount() const {
        return paramsCount_.load(std::memory_order_relaxed);
    }

  private:
    /// Queues a getter: the logic answers through `ask`; a missing logic or
    /// proxy, a logic that throws or one that does not answer with
    /// `fallback`. The host's completion runs once, guarded, on every road.
    template <typename Completion, typename Value, typename Ask>
    void queueGetter(MethodText method, Completion completion, Value fallback, Ask ask);

    /// Keeps an install and a refresh from storing their limits crosswise.
    std::mutex limitMutex_;
    std::atomic<std::int64_t> paramsCount_;
};

}  // namespace mvk
