#pragma once

#include "analytics/AnalyticsProtocol.hpp"
#include "records/Config.hpp"

namespace mvk::test {

/// An analytics logic that ignores every call and answers completions with
/// empty values; core tests derive their stand-ins from it and override what
/// they record.
class QuietAnalyticsLogic : public AnalyticsProtocol {
  public:
    void stopSDK() override {}
    void getDeviceId(const TextCompletion& completion) override { completion(""); }
    void getSDKVersion(const TextCompletion& completion) override { completion(""); }
    void getTrackingAvailability(const FlagCompletion& completion) override { completion(false); }
    void setTrackingAvailability(bool) override {}
    void getUserId(const TextCompletion& completion) override { completion(""); }
    void setUserId(const std::string&) override {}
    void replaceUserId(const std::string&, const std::string&) override {}
    void getCurrentLevel(const NumberCompletion& completion) override { completion(0); }
    void setCurrentLevel(std::int64_t) override {}
    void levelUp(std::int64_t, const Amounts&) override {}
    void currentBalance(const Amounts&) override {}
    void customEvent(const std::string&, const std::optional<AnyCodable::Object>&) override {}
    void sendBufferedEvents() override {}
    void virtualCurrencyPayment(const std::string&, const std::string&, std::int64_t,
                                const Amounts&) override {}
    void currencyAccrual(const std::string&, std::int64_t, const std::string&,
                         MVKAccrualType) override {}
    void startProgressionEvent(const std::string&,
                               const MVKStartProgressionEventParametersLocal&) override {}
    void finishProgressionEvent(const std::string&,
                                const MVKFinishProgressionEventParametersLocal&) override {}
    void realCurrencyPayment(const std::string&, double, const std::string&,
                             const std::string&) override {}
    void socialNetworkConnect(const MVKSocialNetworkLocal&) override {}
    void socialNetworkPost(const MVKSocialNetworkLocal&, const std::string&) override {}
    void tutorial(std::int64_t) override {}
    void referrer(const ReferralData&) override {}
    std::int64_t getCustomEventParamsCount() const override {
        return Config::defaulConfiguration().eventParamsCount;
    }
    void isRestoreTransactionHistoryRequired(const FlagCompletion& completion) override {
        completion(false);
    }
    void subscriptionPayment(const MVKStoreTransaction&, const MVKStoreProduct&) override {}
    void subscriptionPayment(const std::string&, const std::string&) override {}
    void subscriptionHistory(const std::vector<MVKStoreTransaction>&) override {}
    void subscriptionHistory(const TransactionHistory&) override {}
    void adImpression(const std::string&, double, const std::optional<std::string>&,
                      const std::optional<std::string>&) override {}
};

}  // namespace mvk::test
