#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analytics/AnalyticsInitProtocol.hpp"
#include "analytics/AnalyticsProtocol.hpp"
#include "events/Storable.hpp"
#include "platform/SerialQueue.hpp"
#include "services/AnalyticsConfigServiceProtocol.hpp"
#include "services/AntiCheatServiceProctocol.hpp"
#include "services/CurrencyAccrualServiceProtocol.hpp"
#include "services/EventsServiceProtocol.hpp"
#include "services/LevelResourceServiceProtocol.hpp"
#include "services/PeopleServiceProtocol.hpp"
#include "services/ReportServiceProtocol.hpp"
#include "services/ServiceFactoryProtocol.hpp"
#include "services/SubscriptionServiceProtocol.hpp"
#include "state/ActivityServiceProtocol.hpp"
#include "state/LifeCycleProtocol.hpp"
#include "state/LifeCycleRepositoryProtocol.hpp"
#include "state/LogicBroadcasterProtocol.hpp"
#include "state/ProjectServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "state/TimerServiceProtocol.hpp"
#include "state/UserServiceProtocol.hpp"

namespace mvk {

/// Acts on every analytics call: sessions and the life cycle, identity,
/// levels and tracking, the events of each call, and the gathered user-card
/// and accrual events. Its state lives in the project and user rows and in
/// the services; everything runs on the income queue except the life-cycle
/// entries (which only queue) and the parameter limit.
class AnalyticsLogic final : public AnalyticsProtocol,
                             public AnalyticsInitProtocol,
                             public LifeCycleProtocol,
                             public LogicBroadcasterProtocol,
                             public std::enable_shared_from_this<AnalyticsLogic> {
  public:
    /// Takes its services from the factory and subscribes to the life cycle.
    static std::shared_ptr<AnalyticsLogic> make(
        ServiceFactoryProtocol& factory, std::shared_ptr<StateManagerProtocol> stateManager,
        std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle, SerialQueue& incomeQueue);

    /// Called on the income queue each time the parameter limit was read
    /// again from the configuration; set before `prepareCallBacks`.
    void setOnParamsCountChange(std::function<void()> callback);

    // AnalyticsInitProtocol
    void prepareCallBacks() override;
    void applyAnalyticsConfiguration(
        const std::optional<MVKAnalyticsConfigurationLocal>& configuration) override;
    void tryStartSDK() override;
    void startActivity() override;
    void stopActivity() override;

    // LifeCycleProtocol, on the notifying thread.
    void goActive() override;
    void goInactive() override;
    void goBackground() override;
    void goTerminate() override;

    // LogicBroadcasterProtocol
    BackendIdentifiersUpdate onBackendIdentifiersUpdate() const override;
    void setOnBackendIdentifiersUpdate(BackendIdentifiersUpdate update) override;
    void forceUpdate() override;

    // AnalyticsProtocol
    void stopSDK() override;
    void getDeviceId(const TextCompletion& completion) override;
    void getSDKVersion(const TextCompletion& completion) override;
    void getTrackingAvailability(const FlagCompletion& completion) override;
    void setTrackingAvailability(bool allowed) override;
    void getUserId(const TextCompletion& completion) override;
    void setUserId(const std::string& userId) override;
    void replaceUserId(const std::string& fromUserId, const std::string& toUserId) override;
    void getCurrentLevel(const NumberCompletion& completion) override;
    void setCurrentLevel(std::int64_t level) override;
    void levelUp(std::int64_t level, const Amounts& balance) override;
    void currentBalance(const Amounts& balance) override;
    void customEvent(const std::string& name,
                     const std::optional<AnyCodable::Object>& parameters) override;
    void sendBufferedEvents() override;
    void virtualCurrencyPayment(const std::string& purchaseId, const std::string& purchaseType,
                                std::int64_t purchaseAmount, const Amounts& purchasePrice) override;
    void currencyAccrual(const std::string& currencyName, std::int64_t amount,
                         const std::string& source, MVKAccrualType type) override;
    void startProgressionEvent(const std::string& name,
                               const MVKStartProgressionEventParametersLocal& parameters) override;
    void finishProgressionEvent(
        const std::string& name,
        const MVKFinishProgressionEventParametersLocal& parameters) override;
    void realCurrencyPayment(const std::string& orderId, double price, const std::string& productId,
                             const std::string& currencyCode) override;
    void socialNetworkConnect(const MVKSocialNetworkLocal& network) override;
    void socialNetworkPost(const MVKSocialNetworkLocal& network,
                           const std::string& reason) override;
    void tutorial(std::int64_t step) override;
    void referrer(const ReferralData& data) override;
    std::int64_t getCustomEventParamsCount() const override;
    void isRestoreTransactionHistoryRequired(const FlagCompletion& completion) override;
    void subscriptionPayment(const MVKStoreTransaction& transaction,
                             const MVKStoreProduct& product) override;
    void subscriptionPayment(const std::string& productId,
                             const std::string& transactionId) override;
    void subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) override;
    void subscriptionHistory(const TransactionHistory& history) override;
    void adImpression(const std::string& network, double revenue,
                      const std::optional<std::string>& placement,
                      const std::optional<std::string>& unit) override;

    /// The user-card event: the changed keys, or the whole card.
    void generatePeopleEvent(bool needFullCard);
    /// The active user's pending accruals as one "ca" event.
    void addCurrencyAccrual();
    /// Accruals left by earlier runs, oldest session first.
    void addSavedCurrencyAccrualResources();
    void removeUsers(const std::vector<std::shared_ptr<User>>& users);

  private:
    AnalyticsLogic(ServiceFactoryProtocol& factory,
                   std::shared_ptr<StateManagerProtocol> stateManager,
                   std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle,
                   SerialQueue& incomeQueue);

    void prepareTimersCallback();
    void prepareConfigCallbacks();
    void prepareRerportSendCallback();
    void preparePeopleCardCallback();
    void applyReceivedConfiguration(const Config& config);
    void startSDK();
    void startSubscriptionsService();
    void onSubscriptionProducts(std::int64_t sessionId,
                                const std::optional<std::vector<SubscriptionProduct>>& products);
    void sendSubscriptionsHistoryEvent();
    void subscriptionPayment(const SubscriptionProduct& product, const std::string& transactionId,
                             bool isRenewal);
    void removeEventsAndResources();
    void sendAlive();
    void sendDeviceInfo();
    /// Ends the activity and waits for it, at most `ProcessExit::longestExitWait`;
    /// `call` names the host's call in the line that says it stopped waiting.
    void stopSession(const char* call);
    void prepareCurrencyAccrualEvent(std::int64_t sessionId, std::int64_t currentLevel,
                                     std::optional<std::int64_t> timestamp,
                                     const std::shared_ptr<User>& user);
    /// Deletes what a stored accrual event of `user` reported, and nothing
    /// after it; false when that could not be done.
    bool removeReportedAccruals(const std::shared_ptr<User>& user);
    /// Makes the row of `userId` active. When that is another row, the
    /// period of the row left ends first, while its events are still its
    /// own, and its open progression is dropped; true then. The caller starts
    /// the new row's activity.
    bool switchUser(const std::string& userId);
    void requestBackendIdsIfNeeded();
    void refreshParamsCount();

    bool trackingOn() const;
    /// The timers belong to a running activity of a tracked player.
    bool timersRun() const;
    std::optional<std::int64_t> sessionId() const;
    /// True when no payment event was stored for `orderId` yet. A used id
    /// writes `usedLine` at `usedLevel`; marks that cannot be read answer
    /// false, so no payment is stored twice.
    bool isNewPaymentId(const std::string& orderId, MVKLogLevel usedLevel,
                        const std::string& usedLine);
    std::int64_t level() const;
    std::optional<std::vector<std::string>> inProgress() const;
    std::int64_t numberOfCurrencies() const;
    /// False when the event's row could not be written.
    bool store(const Storable& event);
    template <class Record>
    bool storeRecord(Record record);
    /// Stores the event with `alongside`, the change it allows, as one unit
    /// (`EventsServiceProtocol::addEventWith`); false when neither stands.
    template <class Record>
    bool storeRecordWith(Record record, const std::function<bool()>& alongside);

    /// Queues `block` on the income queue with the logic held weakly.
    template <class Block>
    void queueWeakly(Block block);

    const std::shared_ptr<LifeCycleRepositoryProtocol> lifeCycle_;
    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<ProjectServiceProtocol> projectService_;
    const std::shared_ptr<UserServiceProtocol> userService_;
    const std::shared_ptr<EventsServiceProtocol> eventsService_;
    const std::shared_ptr<ReportServiceProtocol> reportService_;
    const std::shared_ptr<ActivityServiceProtocol> activityService_;
    const std::shared_ptr<TimerServiceProtocol> timerService_;
    const std::shared_ptr<CurrencyAccrualServiceProtocol> currencyAccrualService_;
    const std::shared_ptr<LevelResourceServiceProtocol> levelResourceService_;
    const std::shared_ptr<AnalyticsConfigServiceProtocol> configService_;
    /// Held for the receipt checks; no analytics call uses it yet.
    const std::shared_ptr<AntiCheatServiceProctocol> antiCheatService_;
    const std::shared_ptr<PeopleServiceProtocol> peopleService_;
    const std::shared_ptr<SubscriptionServiceProtocol> subscriptionService_;
    SerialQueue& incomeQueue_;
    bool started_ = false;
    /// A copy of the configuration's limit for the host's thread, which must
    /// not read the project row while the income queue replaces it.
    std::atomic<std::int64_t> eventParamsCount_;
    std::function<void()> onParamsCountChange_;
};

}  // namespace mvk
