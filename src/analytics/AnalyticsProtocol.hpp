#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "analytics/MVKFinishProgressionEventParametersLocal.hpp"
#include "analytics/MVKSocialNetworkLocal.hpp"
#include "analytics/MVKStartProgressionEventParametersLocal.hpp"
#include "foundation/AnyCodable.hpp"
#include "mvk/MVKAccrualType.hpp"
#include "mvk/MVKReferralProperty.hpp"
#include "mvk/MVKStoreProduct.hpp"
#include "mvk/MVKStoreTransaction.hpp"

namespace mvk {

/// The analytics calls, as the proxy forwards them to the logic on the income
/// queue. Completions are called once, synchronously, on that queue.
class AnalyticsProtocol {
  public:
    using TextCompletion = std::function<void(const std::string&)>;
    using FlagCompletion = std::function<void(bool)>;
    using NumberCompletion = std::function<void(std::int64_t)>;
    using Amounts = std::map<std::string, std::int64_t>;
    using ReferralData = std::unordered_map<MVKReferralProperty, std::string>;
    /// Product identifier to its transaction ids, in the host's order.
    using TransactionHistory = std::vector<std::pair<std::string, std::vector<std::string>>>;

    virtual ~AnalyticsProtocol() = default;

    /// Ends the logic's part in the life cycle and its activity; the core's
    /// shut-down calls it on the income queue.
    virtual void stopSDK() = 0;
    virtual void getDeviceId(const TextCompletion& completion) = 0;
    virtual void getSDKVersion(const TextCompletion& completion) = 0;
    virtual void getTrackingAvailability(const FlagCompletion& completion) = 0;
    virtual void setTrackingAvailability(bool allowed) = 0;
    virtual void getUserId(const TextCompletion& completion) = 0;
    virtual void setUserId(const std::string& userId) = 0;
    virtual void replaceUserId(const std::string& fromUserId, const std::string& toUserId) = 0;
    virtual void getCurrentLevel(const NumberCompletion& completion) = 0;
    virtual void setCurrentLevel(std::int64_t level) = 0;
    virtual void levelUp(std::int64_t level, const Amounts& balance) = 0;
    virtual void currentBalance(const Amounts& balance) = 0;
    virtual void customEvent(const std::string& name,
                             const std::optional<AnyCodable::Object>& parameters) = 0;
    virtual void sendBufferedEvents() = 0;
    virtual void virtualCurrencyPayment(const std::string& purchaseId,
                                        const std::string& purchaseType,
                                        std::int64_t purchaseAmount,
                                        const Amounts& purchasePrice) = 0;
    virtual void currencyAccrual(const std::string& currencyName, std::int64_t amount,
                                 const std::string& source, MVKAccrualType type) = 0;
    virtual void startProgressionEvent(
        const std::string& name, const MVKStartProgressionEventParametersLocal& parameters) = 0;
    virtual void finishProgressionEvent(
        const std::string& name, const MVKFinishProgressionEventParametersLocal& parameters) = 0;
    virtual void realCurrencyPayment(const std::string& orderId, double price,
                                     const std::string& productId,
                                     const std::string& currencyCode) = 0;
    virtual void socialNetworkConnect(const MVKSocialNetworkLocal& network) = 0;
    virtual void socialNetworkPost(const MVKSocialNetworkLocal& network,
                                   const std::string& reason) = 0;
    virtual void tutorial(std::int64_t step) = 0;
    virtual void referrer(const ReferralData& data) = 0;
    /// Answered on the host's thread, without the income queue.
    virtual std::int64_t getCustomEventParamsCount() const = 0;
    virtual void isRestoreTransactionHistoryRequired(const FlagCompletion& completion) = 0;
    virtual void subscriptionPayment(const MVKStoreTransaction& transaction,
                                     const MVKStoreProduct& product) = 0;
    virtual void subscriptionPayment(const std::string& productId,
                                     const std::string& transactionId) = 0;
    virtual void subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) = 0;
    virtual void subscriptionHistory(const TransactionHistory& history) = 0;
    virtual void adImpression(const std::string& network, double revenue,
                              const std::optional<std::string>& placement,
                              const std::optional<std::string>& unit) = 0;
};

}  // namespace mvk
