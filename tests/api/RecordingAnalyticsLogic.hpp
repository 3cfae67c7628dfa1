#pragma once

#include <nlohmann/json.hpp>

#include <mutex>
#include <string>
#include <vector>

#include "support/QuietAnalyticsLogic.hpp"

namespace mvk::test {

/// Writes each call it gets as "name [arguments as JSON]" and answers getters
/// with fixed values, so a test compares what the logic saw after cleaning.
class RecordingAnalyticsLogic final : public QuietAnalyticsLogic {
  public:
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

    void getDeviceId(const TextCompletion& completion) override {
        record("getDeviceId", {});
        completion("device-7");
    }
    void getSDKVersion(const TextCompletion& completion) override {
        record("getSDKVersion", {});
        completion("9.9.9");
    }
    void getTrackingAvailability(const FlagCompletion& completion) override {
        record("getTrackingAvailability", {});
        completion(true);
    }
    void getUserId(const TextCompletion& completion) override {
        record("getUserId", {});
        completion("player");
    }
    void getCurrentLevel(const NumberCompletion& completion) override {
        record("getCurrentLevel", {});
        completion(7);
    }
    void isRestoreTransactionHistoryRequired(const FlagCompletion& completion) override {
        record("isRestoreTransactionHistoryRequired", {});
        completion(true);
    }
    void setTrackingAvailability(bool allowed) override {
        record("setTrackingAvailability", {allowed});
    }
    void setUserId(const std::string& userId) override { record("setUserId", {userId}); }
    void replaceUserId(const std::string& from, const std::string& to) override {
        record("replaceUserId", {from, to});
    }
    void setCurrentLevel(std::int64_t level) override { record("setCurrentLevel", {level}); }
    void levelUp(std::int64_t level, const Amounts& balance) override {
        record("levelUp", {level, balance});
    }
    void currentBalance(const Amounts& balance) override { record("currentBalance", {balance}); }
    void customEvent(const std::string& name,
                     const std::optional<AnyCodable::Object>& parameters) override {
        nlohmann::json params = nullptr;
        if (parameters) {
            params =
                nlohmann::json::parse(AnyCodable(*parameters).toJson().value_or(nullptr).dump());
        }
        record("customEvent", {name, params});
    }
    void sendBufferedEvents() override { record("sendBufferedEvents", {}); }
    void virtualCurrencyPayment(const std::string& id, const std::string& type, std::int64_t amount,
                                const Amounts& price) override {
        record("virtualCurrencyPayment", {id, type, amount, price});
    }
    void currencyAccrual(const std::string& name, std::int64_t amount, const std::string& source,
                         MVKAccrualType type) override {
        record("currencyAccrual", {name, amount, source, static_cast<int>(type)});
    }
    void startProgressionEvent(const std::string& name,
                               const MVKStartProgressionEventParametersLocal& p) override {
        record("startProgressionEvent",
               {name, p.difficulty ? nlohmann::json(*p.difficulty) : nlohmann::json(),
                p.source ? nlohmann::json(*p.source) : nlohmann::json()});
    }
    void finishProgressionEvent(const std::string& name,
                                const MVKFinishProgressionEventParametersLocal& p) override {
        record("finishProgressionEvent",
               {name, p.successfulCompletion, p.duration, p.spent, p.earned});
    }
    void realCurrencyPayment(const std::string& orderId, double price, const std::string& productId,
                             const std::string& currencyCode) override {
        record("realCurrencyPayment", {orderId, price, productId, currencyCode});
    }
    void socialNetworkConnect(const MVKSocialNetworkLocal& network) override {
        record("socialNetworkConnect", {network.name});
    }
    void socialNetworkPost(const MVKSocialNetworkLocal& network,
                           const std::string& reason) override {
        record("socialNetworkPost", {network.name, reason});
    }
    void tutorial(std::int64_t step) override { record("tutorial", {step}); }
    void referrer(const ReferralData& data) override {
        nlohmann::json object = nlohmann::json::object();
        for (const auto& [property, value] : data) {
            object[property.name()] = value;
        }
        record("referrer", {object});
    }
    void subscriptionPayment(const MVKStoreTransaction& transaction,
                             const MVKStoreProduct& product) override {
        record("subscriptionPayment",
               {transaction.transactionIdentifier.value_or("-"), product.productIdentifier});
    }
    void subscriptionPayment(const std::string& productId,
                             const std::string& transactionId) override {
        record("engineSubscriptionPayment", {productId, transactionId});
    }
    void subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) override {
        nlohmann::json ids = nlohmann::json::array();
        for (const auto& transaction : transactions) {
            ids.push_back(transaction.productIdentifier);
        }
        record("subscriptionHistory", {ids});
    }
    void subscriptionHistory(const TransactionHistory& history) override {
        nlohmann::json object = nlohmann::json::object();
        for (const auto& [product, ids] : history) {
            object[product] = ids;
        }
        record("engineSubscriptionHistory", {object});
    }
    void adImpression(const std::string& network, double revenue,
                      const std::optional<std::string>& placement,
                      const std::optional<std::string>& unit) override {
        record("adImpression",
               {network, revenue, placement ? nlohmann::json(*placement) : nlohmann::json(),
                unit ? nlohmann::json(*unit) : nlohmann::json()});
    }

  private:
    void record(const std::string& name, nlohmann::json::array_t arguments) {
        const auto text = name + " " + nlohmann::json(std::move(arguments)).dump();
        std::lock_guard lock(mutex_);
        calls_.push_back(text);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

}  // namespace mvk::test
