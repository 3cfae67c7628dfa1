#include "analytics/AnalyticsLogic.hpp"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "analytics/AnalyticsLogicSupport.hpp"
#include "events/AdImpression.hpp"
#include "events/CurrencyAccrual.hpp"
#include "events/CurrencyAccrualResource.hpp"
#include "events/CurrentBalance.hpp"
#include "events/CustomEvent.hpp"
#include "events/LevelResource.hpp"
#include "events/LevelUp.hpp"
#include "events/PeopleEvent.hpp"
#include "events/ProgressionEvent.hpp"
#include "events/RealCurrencyPayment.hpp"
#include "events/Referral.hpp"
#include "events/RestoredTransactionsEvent.hpp"
#include "events/SocialNetworkConnect.hpp"
#include "events/SocialNetworkPost.hpp"
#include "events/StorableEvent.hpp"
#include "events/SubscriptionPayment.hpp"
#include "events/SubscriptionProductsEvent.hpp"
#include "events/Tutorial.hpp"
#include "events/VirtualCurrencyPayment.hpp"
#include "foundation/Clock.hpp"
#include "foundation/Logger.hpp"
#include "purchases/SubscriptionService.hpp"

namespace mvk {

namespace {

template <class Map>
std::optional<Map> unlessEmpty(const Map& map) {
    if (map.empty()) {
        return std::nullopt;
    }
    return map;
}

}  // namespace

// ---- event calls ----

void AnalyticsLogic::customEvent(const std::string& name,
                                 const std::optional<AnyCodable::Object>& parameters) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(CustomEvent{.sessionId = *session,
                            .level = level(),
                            .name = name,
                            .parameters = parameters,
                            .inProgress = inProgress()});
}

void AnalyticsLogic::sendBufferedEvents() {
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::virtualCurrencyPayment(const std::string& purchaseId,
                                            const std::string& purchaseType,
                                            std::int64_t purchaseAmount,
                                            const Amounts& purchasePrice) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    std::vector<LevelResource> spent;
    spent.reserve(purchasePrice.size());
    for (const auto& [currency, amount] : purchasePrice) {
        spent.push_back({.type = LevelResourceType::spent, .name = currency, .amount = amount});
    }
    // The next level-up reports the level's spending from these totals: a
    // price counted without its event would be spending that no event shows.
    if (!storeRecordWith(VirtualCurrencyPayment{.sessionId = *session,
                                                .level = level(),
                                                .purchaseId = purchaseId,
                                                .purchaseAmount = purchaseAmount,
                                                .purchasePrice = purchasePrice,
                                                .purchaseType = purchaseType,
                                                .inProgress = inProgress()},
                         [&] { return levelResourceService_->addLevelResources(spent); })) {
        Logger::writeLog(MVKLogLevel::error,
                         "The virtual payment [" + purchaseId +
                             "] can't be stored; its price is not counted as spent on this level");
    }
}

void AnalyticsLogic::currencyAccrual(const std::string& currencyName, std::int64_t amount,
                                     const std::string& source, MVKAccrualType type) {
    const LevelResource total{.type = type == MVKAccrualType::bought ? LevelResourceType::bought
                                                                     : LevelResourceType::earned,
                              .name = currencyName,
                              .amount = amount};
    // The level's earned and bought totals are what its accruals add up to: a
    // total raised without its accrual would be earnings no "ca" event shows.
    if (!currencyAccrualService_->addCurrencyAccrual(
            CurrencyAccrualResource{
                .type = type, .name = currencyName, .amount = amount, .source = source},
            [&] { return levelResourceService_->addLevelResources({total}); })) {
        Logger::writeLog(MVKLogLevel::error,
                         "The currency accrual of [" + currencyName + "] from [" + source +
                             "] can't be stored; it is not counted on this level either");
    }
}

void AnalyticsLogic::startProgressionEvent(
    const std::string& name, const MVKStartProgressionEventParametersLocal& parameters) {
    userService_->activateLocation(Location{.name = name,
                                            .source = parameters.source,
                                            .difficulty = parameters.difficulty,
                                            .startTimestamp = Clock::nowMillis()});
    Logger::writeLog(MVKLogLevel::info, "Activated ProgressionEvent: [" + name + "]");
}

void AnalyticsLogic::finishProgressionEvent(
    const std::string& name, const MVKFinishProgressionEventParametersLocal& parameters) {
    const auto location = userService_->getLocation();
    if (!location) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Progression event can't be finished!\n\tDoesn't have any started "
                         "progression events");
        return;
    }
    if (location->name != name) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Progression event can't be finished!\n\tStarted progression event name "
                         "is [" +
                             location->name + "]\n\tCurrent event name is [" + name + "]");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(ProgressionEvent{
        .sessionId = *session,
        .level = level(),
        .name = name,
        .spent = unlessEmpty(parameters.spent),
        .earned = unlessEmpty(parameters.earned),
        .parameters = ProgressionEventParams::finishing(*location, parameters.successfulCompletion,
                                                        parameters.duration, Clock::nowMillis())});
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    userService_->clearLocation(false);
    Logger::writeLog(MVKLogLevel::info, "The ProgressionEvent [" + name + "] is finished");
}

bool AnalyticsLogic::isNewPaymentId(const std::string& orderId, MVKLogLevel usedLevel,
                                    const std::string& usedLine) {
    const auto mark = projectService_->isCurrencyPaymentMarked(orderId);
    if (mark == MarkLookup::marked) {
        Logger::writeLog(usedLevel, usedLine);
    }
    return mark == MarkLookup::notMarked;
}

void AnalyticsLogic::realCurrencyPayment(const std::string& orderId, double price,
                                         const std::string& productId,
                                         const std::string& currencyCode) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (!isNewPaymentId(orderId, MVKLogLevel::warning,
                        "Real payment with orderId [" + orderId + "]  is already used!")) {
        return;
    }
    // Without its mark a later call may store the payment; with a mark and no
    // event the payment would never be reported.
    if (!storeRecordWith(RealCurrencyPayment{.sessionId = *session,
                                             .level = level(),
                                             .productId = productId,
                                             .orderId = orderId,
                                             .price = price,
                                             .currencyCode = currencyCode,
                                             .inProgress = inProgress()},
                         [&] { return projectService_->markCurrencyPayment(orderId); })) {
        Logger::writeLog(MVKLogLevel::error, "Real payment with orderId [" + orderId +
                                                 "] can't be stored; it is not marked as used");
        return;
    }
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::socialNetworkConnect(const MVKSocialNetworkLocal& network) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(SocialNetworkConnect{.sessionId = *session,
                                     .level = level(),
                                     .socialNetwork = network.name,
                                     .inProgress = inProgress()});
}

void AnalyticsLogic::socialNetworkPost(const MVKSocialNetworkLocal& network,
                                       const std::string& reason) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(SocialNetworkPost{.sessionId = *session,
                                  .level = level(),
                                  .socialNetwork = network.name,
                                  .postReason = reason,
                                  .inProgress = inProgress()});
}

void AnalyticsLogic::tutorial(std::int64_t step) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto mark = userService_->isTutorialStepMarked(step);
    if (mark == MarkLookup::unknown) {
        return;
    }
    if (mark == MarkLookup::marked) {
        Logger::writeLog(MVKLogLevel::warning,
                         "Tutorial step [" + std::to_string(step) + "] is already used");
        return;
    }
    if (!storeRecordWith(
            Tutorial{
                .sessionId = *session, .level = level(), .step = step, .inProgress = inProgress()},
            [&] { return userService_->markTutorialStep(step); })) {
        Logger::writeLog(MVKLogLevel::error, "The tutorial step [" + std::to_string(step) +
                                                 "] can't be saved; it is not marked as used");
        return;
    }
    Logger::writeLog(MVKLogLevel::info,
                     "The tutorial step [" + std::to_string(step) + "] is saved");
}

void AnalyticsLogic::referrer(const ReferralData& data) {
    if (projectService_->isRefererSent()) {
        Logger::writeLog(MVKLogLevel::info, "The referrer has been sent");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto value = [&](const MVKReferralProperty& key) -> std::optional<std::string> {
        const auto found = data.find(key);
        if (found == data.end()) {
            return std::nullopt;
        }
        return found->second;
    };
    if (!storeRecord(Referral{.sessionId = *session,
                              .source = value(MVKReferralProperty::source()),
                              .campaign = value(MVKReferralProperty::campaign()),
                              .content = value(MVKReferralProperty::content()),
                              .medium = value(MVKReferralProperty::medium()),
                              .term = value(MVKReferralProperty::term())})) {
        Logger::writeLog(MVKLogLevel::error, "The referrer can't be stored; it is not sent");
        return;
    }
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    projectService_->setIsRefererSent(true);
}

void AnalyticsLogic::adImpression(const std::string& network, double revenue,
                                  const std::optional<std::string>& placement,
                                  const std::optional<std::string>& unit) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    storeRecord(AdImpression{.sessionId = *session,
                             .network = network,
                             .revenue = revenue,
                             .placement = placement,
                             .unit = unit,
                             .inProgress = inProgress()});
}

void AnalyticsLogic::levelUp(std::int64_t newLevel, const Amounts& balance) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    addCurrencyAccrual();
    LevelUp event{.sessionId = *session,
                  .level = newLevel,
                  .balance = unlessEmpty(balance),
                  .inProgress = inProgress()};
    const std::int64_t current = level();
    // A stored level may be INT64_MAX: "current + 1" only below it.
    if (current < std::numeric_limits<std::int64_t>::max() && newLevel == current + 1) {
        const auto n = numberOfCurrencies();
        event.spent = levelResourceService_->getSpentResources(n);
        event.earned = levelResourceService_->getEarnedResources(n);
        event.bought = levelResourceService_->getBoughtResources(n);
    }
    userService_->resourceAggregation(true);
    userService_->setUserLevel(newLevel);
    // The level's resources go with the event that carries them, and stay
    // for the next one when it is not stored.
    storeRecordWith(std::move(event),
                    [&] { return levelResourceService_->removeResourcesForActiveUser(); });
    generatePeopleEvent(false);
    reportService_->sendBufferedEvents();
    // Accruals the event above could not carry wait for the next one, unless
    // none can ever be carried.
    if (numberOfCurrencies() == 0) {
        currencyAccrualService_->removeResourcesForActiveUser();
    }
}

void AnalyticsLogic::currentBalance(const Amounts& balance) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (userService_->isBalanceSentForActiveUser()) {
        Logger::writeLog(MVKLogLevel::warning,
                         "The CurrentBalance event is already sent, in this game session");
        return;
    }
    if (storeRecord(CurrentBalance{.sessionId = *session, .level = level(), .balance = balance})) {
        userService_->changeCurBalanceSentMark(true);
    }
}

// ---- subscriptions ----

void AnalyticsLogic::isRestoreTransactionHistoryRequired(const FlagCompletion& completion) {
    completion(subscriptionService_->isNeedRestoreHistory());
}

void AnalyticsLogic::subscriptionPayment(const MVKStoreTransaction& transaction,
                                         const MVKStoreProduct& product) {
    const auto transactionId = transaction.originalTransactionIdentifier
                                   ? transaction.originalTransactionIdentifier
                                   : transaction.transactionIdentifier;
    if (!transactionId) {
        Logger::writeLog(MVKLogLevel::error, "Subscription payment transactionIdentifier is nil");
        return;
    }
    const bool isRenewal =
        transaction.transactionIdentifier &&
        transaction.transactionIdentifier != transaction.originalTransactionIdentifier;
    const auto subscriptionProduct = SubscriptionService::makeProduct(product);
    if (!subscriptionProduct) {
        return;
    }
    subscriptionPayment(*subscriptionProduct, *transactionId, isRenewal);
}

void AnalyticsLogic::subscriptionPayment(const SubscriptionProduct& product,
                                         const std::string& transactionId, bool isRenewal) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    const auto mark = projectService_->isCurrencyPaymentMarked(transactionId);
    if (mark == MarkLookup::unknown) {
        return;
    }
    bool stored = false;
    if (mark == MarkLookup::marked) {
        if (isRenewal) {
            Logger::writeLog(MVKLogLevel::debug, "Subscription payment with orderId [" +
                                                     transactionId + "] is renewal");
        }
    } else {
        stored =
            storeRecordWith(SubscriptionPayment{.sessionId = *session,
                                                .level = level(),
                                                .orderId = transactionId,
                                                .productId = product.productId,
                                                .regionCode = product.regionCode,
                                                .currencyCode = product.currencyCode,
                                                .inProgress = inProgress()},
                            [&] { return projectService_->markCurrencyPayment(transactionId); });
    }
    if (!subscriptionService_->checkIfContains(product)) {
        if (const auto current = sessionId()) {
            storeRecord(SubscriptionProductsEvent{.sessionId = *current, .products = {product}});
            stored = true;
        }
    }
    if (stored) {
        generatePeopleEvent(false);
        reportService_->sendBufferedEvents();
    }
}

void AnalyticsLogic::subscriptionPayment(const std::string& productId,
                                         const std::string& transactionId) {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (!isNewPaymentId(transactionId, MVKLogLevel::debug,
                        "Subscription payment with orderId [" + transactionId + "] is renewal")) {
        return;
    }
    const auto local = subscriptionService_->findLocalProduct(productId);
    if (!storeRecordWith(SubscriptionPayment{.sessionId = *session,
                                             .level = level(),
                                             .orderId = transactionId,
                                             .productId = productId,
                                             .regionCode = local ? local->regionCode : "",
                                             .currencyCode = local ? local->currencyCode : "",
                                             .inProgress = inProgress()},
                         [&] { return projectService_->markCurrencyPayment(transactionId); })) {
        return;
    }
    reportService_->sendBufferedEvents();
}

void AnalyticsLogic::subscriptionHistory(const TransactionHistory& history) {
    if (!subscriptionService_->isNeedRestoreHistory()) {
        return;
    }
    subscriptionService_->markAsRestoredHistory();
    if (history.empty()) {
        Logger::writeLog(MVKLogLevel::debug, "subscriptionHistory transactions is empty");
        return;
    }
    subscriptionService_->processTransactions(history);
    sendSubscriptionsHistoryEvent();
}

void AnalyticsLogic::subscriptionHistory(const std::vector<MVKStoreTransaction>& transactions) {
    subscriptionHistory(subscriptionService_->prepareTransactions(transactions));
}

void AnalyticsLogic::sendSubscriptionsHistoryEvent() {
    if (!subscriptionService_->isNeedSendRestoredHistory()) {
        return;
    }
    const auto data = subscriptionService_->getDataForSBSREvent();
    if (!data) {
        Logger::writeLog(MVKLogLevel::debug,
                         "SubscriptionsHistory: No information about completed transactions");
        return;
    }
    if (!data->currencyCode) {
        Logger::writeLog(MVKLogLevel::debug,
                         "SubscriptionsHistory: Not enough data to send the event, \n\tmissing "
                         "product CurrencyCode");
        return;
    }
    const auto session = sessionId();
    if (!session) {
        Logger::writeLog(MVKLogLevel::error,
                         "Failed to generate subscriptions history event, sessionId is lost");
        return;
    }
    storeRecord(RestoredTransactionsEvent{.sessionId = *session,
                                          .currencyCode = *data->currencyCode,
                                          .transactions = data->transactions});
    reportService_->sendBufferedEvents();
    subscriptionService_->markAsRestoredHistory();
    subscriptionService_->markAsSendRestoredHistory();
    subscriptionService_->clearSubscriptionHistory();
}

void AnalyticsLogic::onSubscriptionProducts(
    std::int64_t session, const std::optional<std::vector<SubscriptionProduct>>& products) {
    if (!products || products->empty()) {
        return;
    }
    subscriptionService_->updateProducts(*products);
    if (subscriptionService_->needSendProducts()) {
        storeRecord(SubscriptionProductsEvent{.sessionId = session, .products = *products});
        reportService_->sendBufferedEvents();
        subscriptionService_->resetSendProductsMark();
        subscriptionService_->resetHistoryMark();
    }
    sendSubscriptionsHistoryEvent();
}

// ---- gathered events ----

void AnalyticsLogic::generatePeopleEvent(bool needFullCard) {
    if (!trackingOn()) {
        return;
    }
    const auto card = peopleService_->getPeopleCard();
    if (!card || (!card->updated && !needFullCard)) {
        return;
    }
    const auto session = sessionId();
    if (!session) {
        return;
    }
    std::optional<PeopleProperties> parameters;
    if (!card->cleared) {
        parameters = peopleService_->getParameters(needFullCard);
        peopleService_->clearChangedKeys();
        if (!parameters || parameters->empty()) {
            return;
        }
    }
    storeRecord(PeopleEvent{.sessionId = *session,
                            .level = level(),
                            .parameters = std::move(parameters),
                            .inProgress = inProgress()});
    peopleService_->removeNulls();
    peopleService_->unmarkUpdated();
    peopleService_->unmarkCleared();
}

void AnalyticsLogic::addCurrencyAccrual() {
    const auto session = sessionId();
    if (!session) {
        return;
    }
    if (currencyAccrualService_->isContainsCurrencyAccrual()) {
        prepareCurrencyAccrualEvent(*session, level(), std::nullopt, nullptr);
    }
}

void AnalyticsLogic::prepareCurrencyAccrualEvent(std::int64_t session, std::int64_t currentLevel,
                                                 std::optional<std::int64_t> timestamp,
                                                 const std::shared_ptr<User>& user) {
    const auto n = numberOfCurrencies();
    CurrencyAccrual event{.sessionId = session,
                          .level = currentLevel,
                          .earned = currencyAccrualService_->getEarnedResources(n, user),
                          .bought = currencyAccrualService_->getBoughtResources(n, user)};
    if (timestamp) {
        event.timestamp = *timestamp;
    }
    // The rows are the player's only record of these accruals until an event
    // that holds them is committed, and once it is they must be gone, or the
    // next run reports them again.
    const bool stored =
        eventsService_->addEventWith(StorableEvent<CurrencyAccrual>(std::move(event)), user.get(),
                                     [&] { return removeReportedAccruals(user); });
    if (!stored) {
        Logger::writeLog(MVKLogLevel::error,
                         "The currency accrual event can't be stored; its accruals stay for the "
                         "next one");
    }
}

bool AnalyticsLogic::removeReportedAccruals(const std::shared_ptr<User>& user) {
    const auto n = numberOfCurrencies();
    if (n > 0) {
        return currencyAccrualService_->removeReportedResources(n, user);
    }
    if (user) {
        return currencyAccrualService_->removeResources(*user);
    }
    return currencyAccrualService_->removeResourcesForActiveUser();
}

void AnalyticsLogic::addSavedCurrencyAccrualResources() {
    const auto all = userService_->getAllUsers();
    if (!all) {
        return;
    }
    const auto projectId = stateManager_->getActiveProject()->idKey;
    std::vector<std::shared_ptr<User>> users;
    for (const auto& user : *all) {
        if (user->projectId == projectId && user->sessionId) {
            users.push_back(user);
        }
    }
    // Users without a session keep their rows, so only those with one are sorted.
    std::stable_sort(users.begin(), users.end(),
                     [](const auto& a, const auto& b) { return *a->sessionId < *b->sessionId; });
    for (const auto& user : users) {
        const auto latest = currencyAccrualService_->getLastCreatedTime(*user);
        if (!latest) {
            continue;
        }
        prepareCurrencyAccrualEvent(*user->sessionId, user->level, latest, user);
    }
}

}  // namespace mvk
