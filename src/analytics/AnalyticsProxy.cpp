#include "analytics/AnalyticsProxy.hpp"

#include <memory>
#include <utility>
#include <variant>

#include "analytics/ParameterSnapshot.hpp"
#include "analytics/Validator.hpp"
#include "analytics/ValidatorRules.hpp"
#include "foundation/OnceAnswer.hpp"
#include "foundation/Utf8.hpp"
#include "platform/GuardedCall.hpp"
#include "records/Config.hpp"

namespace mvk {

// What the captures of the queued calls hold, for the income queue's bound;
// found by `heldBytes` through the argument types.

static std::size_t heldBytesOf(const ParameterSnapshot& parameters) noexcept {
    return heapBlockBytes(parameters.bytes());
}

static std::size_t heldBytesOf(const MVKStartProgressionEventParametersLocal& parameters) noexcept {
    return heldBytesOf(parameters.source);
}

static std::size_t heldBytesOf(
    const MVKFinishProgressionEventParametersLocal& parameters) noexcept {
    return heldBytesOf(parameters.spent) + heldBytesOf(parameters.earned);
}

static std::size_t heldBytesOf(const MVKSocialNetworkLocal& network) noexcept {
    return heldBytesOf(network.name);
}

static std::size_t heldBytesOf(const MVKReferralProperty& property) noexcept {
    return heldBytesOf(property.name());
}

static std::size_t heldBytesOf(const MVKStoreTransaction& transaction) noexcept {
    return heldBytesOf(transaction.transactionIdentifier) +
           heldBytesOf(transaction.originalTransactionIdentifier) +
           heldBytesOf(transaction.productIdentifier);
}

static std::size_t heldBytesOf(const MVKStoreProductDiscount& discount) noexcept {
    return heldBytesOf(discount.identifier);
}

static std::size_t heldBytesOf(const MVKStoreProduct& product) noexcept {
    return heldBytesOf(product.productIdentifier) + heldBytesOf(product.priceLocale.identifier) +
           heldBytesOf(product.priceLocale.regionCode) +
           heldBytesOf(product.priceLocale.currencyCode) + heldBytesOf(product.discounts);
}

namespace {

// Host texts are repaired inside the queued block, before validation, the
// exclusion test or the logic see them; valid texts (nearly all) are left in place.
void repair(std::string& text) {
    if (!Utf8::isValid(text)) {
        text = Utf8::sanitized(text);
    }
}

void repair(std::optional<std::string>& text) {
    if (text) {
        repair(*text);
    }
}

template <typename Value>
void repairKeys(std::map<std::string, Value>& map) {
    for (auto entry = map.begin(); entry != map.end();) {
        if (Utf8::isValid(entry->first)) {
            ++entry;
            continue;
        }
        // The repaired key may meet an existing one; the valid key's value stays.
        auto node = map.extract(entry++);
        node.key() = Utf8::sanitized(node.key());
        map.insert(std::move(node));
    }
}

void repair(MVKStoreTransaction& transaction) {
    repair(transaction.transactionIdentifier);
    repair(transaction.originalTransactionIdentifier);
    repair(transaction.productIdentifier);
}

void repair(MVKStoreProduct& product) {
    repair(product.productIdentifier);
    repair(product.priceLocale.identifier);
    repair(product.priceLocale.regionCode);
    repair(product.priceLocale.currencyCode);
    for (auto& discount : product.discounts) {
        repair(discount.identifier);
    }
}

/// The host's completion, run so that nothing it throws reaches the income queue.
template <typename Completion>
Completion guarded(Completion completion) {
    if (!completion) {
        return completion;
    }
    return [completion = std::move(completion)](const auto& value) {
        callGuarded("Completion handler", [&] { completion(value); });
    };
}

}  // namespace

void AnalyticsProxy::stopSDK() {
    ValidatorRules::clearCurrencyValidators();
    if (auto installed = logic()) {
        installed->stopSDK();
    }
}

AnalyticsProxy::AnalyticsProxy(SerialQueue& queue)
    : LogicProxyBase(queue), paramsCount_(Config::defaulConfiguration().eventParamsCount) {}

void AnalyticsProxy::installLogic(std::shared_ptr<AnalyticsProtocol> logic) {
    std::lock_guard lock(limitMutex_);
    paramsCount_.store(
        logic ? logic->getCustomEventParamsCount() : Config::defaulConfiguration().eventParamsCount,
        std::memory_order_relaxed);
    LogicProxyBase::installLogic(std::move(logic));
}

void AnalyticsProxy::refreshCustomEventParamsCount() {
    std::lock_guard lock(limitMutex_);
    const auto installed = logic();
    paramsCount_.store(installed ? installed->getCustomEventParamsCount()
                                 : Config::defaulConfiguration().eventParamsCount,
                       std::memory_order_relaxed);
}

template <typename Completion, typename Value, typename Ask>
void AnalyticsProxy::queueGetter(MethodText method, Completion completion, Value fallback,
                                 Ask ask) {
    // Every road of the block answers through the one guard: the logic, the
    // fallback after a logic that threw or forgot to answer, the dropped call.
    auto answer = std::make_shared<OnceAnswer<Completion>>(guarded(std::move(completion)));
    enqueueGetter(
        std::move(method), heldBytes(fallback),
        [answer, fallback, ask](AnalyticsProtocol& logic) {
            try {
                ask(logic, Completion([answer](const auto& value) { (*answer)(value); }));
            } catch (...) {
                // A host waiting for its answer must not wait for ever.
                (*answer)(fallback);
                throw;
            }
            (*answer)(fallback);
        },
        [answer, fallback] { (*answer)(fallback); });
}

void AnalyticsProxy::getDeviceId(TextCompletion completion) {
    queueGetter(
        "getDeviceId(_:)", std::move(completion), std::string(),
        [](AnalyticsProtocol& logic, const TextCompletion& answer) { logic.getDeviceId(answer); });
}

void AnalyticsProxy::getSDKVersion(TextCompletion completion) {
    queueGetter("getSDKVersion(_:)", std::move(completion), std::string(),
                [](AnalyticsProtocol& logic, const TextCompletion& answer) {
                    logic.getSDKVersion(answer);
                });
}

void AnalyticsProxy::getUserId(TextCompletion completion) {
    queueGetter(
        "getUserId(_:)", std::move(completion), std::string(),
        [](AnalyticsProtocol& logic, const TextCompletion& answer) { logic.getUserId(answer); });
}

void AnalyticsProxy::getCurrentLevel(NumberCompletion completion) {
    queueGetter("getCurrentLevel(_:)", std::move(completion), std::int64_t{1},
                [](AnalyticsProtocol& logic, const NumberCompletion& answer) {
                    logic.getCurrentLevel(answer);
                });
}

void AnalyticsProxy::getTrackingAvailability(FlagCompletion completion) {
    queueGetter("getTrackingAvailability(_:)", std::move(completion), false,
                [](AnalyticsProtocol& logic, const FlagCompletion& answer) {
                    logic.getTrackingAvailability(answer);
                });
}

void AnalyticsProxy::isRestoreTransactionHistoryRequired(FlagCompletion completion) {
    queueGetter("isRestoreTransactionHistoryRequired(_:)", std::move(completion), false,
                [](AnalyticsProtocol& logic, const FlagCompletion& answer) {
                    logic.isRestoreTransactionHistoryRequired(answer);
                });
}

void AnalyticsProxy::setUserId(std::string userId) {
    const auto held = heldBytes(userId);
    enqueue("setUserId(_:)", held, [userId = std::move(userId)](AnalyticsProtocol& logic) mutable {
        repair(userId);
        auto valid = ValidatorRules::validateUserId("SetUserId", userId);
        if (!valid) {
            ValidatorRules::notifyThatMethodExecutionWasCanceled("SetUserId");
            return;
        }
        logic.setUserId(*valid);
    });
}

void AnalyticsProxy::replaceUserId(std::string fromUserId, std::string toUserId) {
    const auto held = heldBytes(fromUserId, toUserId);
    enqueue("replaceUserId(_:_:)", held,
            [fromUserId = std::move(fromUserId),
             toUserId = std::move(toUserId)](AnalyticsProtocol& logic) mutable {
                repair(fromUserId);
                repair(toUserId);
                auto valid =
                    ValidatorRules::validateReplaceUserId("replaceUserId", fromUserId, toUserId);
                if (!valid) {
                    ValidatorRules::notifyThatMethodExecutionWasCanceled("replaceUserId");
                    return;
                }
                logic.replaceUserId(valid->prevUserName, valid->userName);
            });
}

void AnalyticsProxy::setCurrentLevel(std::int64_t level) {
    enqueue("setCurrentLevel(_:)", heldBytes(), [level](AnalyticsProtocol& logic) {
        if (!Validator::inInterval<std::int64_t>("SetCurrentLevel", "The level argument value",
                                                 level, 1, 2147483646)) {
            ValidatorRules::notifyThatMethodExecutionWasCanceled("SetCurrentLevel");
            return;
        }
        logic.setCurrentLevel(level);
    });
}

void AnalyticsProxy::setTrackingAvailability(bool allowed) {
    enqueue("setTrackingAvailability(_:)", heldBytes(),
            [allowed](AnalyticsProtocol& logic) { logic.setTrackingAvailability(allowed); });
}

void AnalyticsProxy::customEvent(std::string name, const MVKCustomEventParameters& parameters) {
    ParameterSnapshot snapshot(parameters);
    const auto held = heldBytes(name, snapshot);
    enqueue("customEvent(_:_:)", held,
            [name = std::move(name),
             parameters = std::move(snapshot)](AnalyticsProtocol& logic) mutable {
                repair(name);
                auto valid = ValidatorRules::validateCustomEvent(name, parameters.object());
                if (!valid || Validator::isExcluded("ce", AnyCodable(name))) {
                    return;
                }
                logic.customEvent(valid->name, std::move(valid->params));
            });
}

void AnalyticsProxy::currencyAccrual(std::string currencyName, std::int64_t amount,
                                     std::string source, MVKAccrualType type) {
    const auto held = heldBytes(currencyName, source);
    enqueue("currencyAccrual(_:_:_:_:)", held,
            [currencyName = std::move(currencyName), amount, source = std::move(source),
             type](AnalyticsProtocol& logic) mutable {
                repair(currencyName);
                repair(source);
                auto valid =
                    ValidatorRules::validateCurrencyAccrual(currencyName, amount, source, type);
                if (!valid || Validator::isExcluded("ca", AnyCodable(source))) {
                    return;
                }
                logic.currencyAccrual(valid->currencyName, valid->currencyAmount, valid->source,
                                      valid->accrualType);
            });
}

void AnalyticsProxy::virtualCurrencyPayment(std::string purchaseId, std::string purchaseType,
                                            std::int64_t purchaseAmount, Amounts resources) {
    const auto held = heldBytes(purchaseId, purchaseType, resources);
    enqueue("virtualCurrencyPayment(_:_:_:_:)", held,
            [purchaseId = std::move(purchaseId), purchaseType = std::move(purchaseType),
             purchaseAmount, resources = std::move(resources)](AnalyticsProtocol& logic) mutable {
                repair(purchaseId);
                repair(purchaseType);
                repairKeys(resources);
                auto valid = ValidatorRules::validateVirtualCurrencyPayment(
                    purchaseId, purchaseType, purchaseAmount, resources);
                if (!valid || Validator::isExcluded("vp", AnyCodable(purchaseId))) {
                    return;
                }
                logic.virtualCurrencyPayment(valid->purchaseId, valid->purchaseType,
                                             valid->purchaseAmount, valid->resources);
            });
}

void AnalyticsProxy::levelUp(std::int64_t level, Amounts balances) {
    const auto held = heldBytes(balances);
    enqueue("levelUp(_:_:)", held,
            [level, balances = std::move(balances)](AnalyticsProtocol& logic) mutable {
                repairKeys(balances);
                auto valid = ValidatorRules::validateLevelUp(level, balances);
                if (!valid || Validator::isExcluded("lu", std::nullopt)) {
                    return;
                }
                logic.levelUp(valid->level, valid->balances);
            });
}

void AnalyticsProxy::currentBalance(Amounts balances) {
    const auto held = heldBytes(balances);
    enqueue("currentBalance(_:)", held,
            [balances = std::move(balances)](AnalyticsProtocol& logic) mutable {
                repairKeys(balances);
                auto valid = ValidatorRules::validateCurrentBalance(balances);
                if (!valid || Validator::isExcluded("cb", std::nullopt)) {
                    return;
                }
                logic.currentBalance(*valid);
            });
}

void AnalyticsProxy::startProgressionEvent(std::string name,
                                           MVKStartProgressionEventParametersLocal parameters) {
    const auto held = heldBytes(name, parameters);
    enqueue("startProgressionEvent(_:_:)", held,
            [name = std::move(name),
             parameters = std::move(parameters)](AnalyticsProtocol& logic) mutable {
                repair(name);
                repair(parameters.source);
                auto valid = ValidatorRules::validateStartProgressionEvent(name, parameters);
                if (!valid || Validator::isExcluded("pe", AnyCodable(name))) {
                    return;
                }
                logic.startProgressionEvent(valid->eventName, valid->parameters);
            });
}

void AnalyticsProxy::finishProgressionEvent(std::string name,
                                            MVKFinishProgressionEventParametersLocal parameters) {
    const auto held = heldBytes(name, parameters);
    enqueue("finishProgressionEvent(_:_:)", held,
            [name = std::move(name),
             parameters = std::move(parameters)](AnalyticsProtocol& logic) mutable {
                repair(name);
                repairKeys(parameters.spent);
                repairKeys(parameters.earned);
                auto valid = ValidatorRules::validateFinishProgressionEvent(name, parameters);
                if (!valid || Validator::isExcluded("pe", AnyCodable(name))) {
                    return;
                }
                logic.finishProgressionEvent(valid->eventName, valid->parameters);
            });
}

void AnalyticsProxy::realCurrencyPayment(std::string orderId, double price, std::string productId,
                                         std::string currencyCode) {
    const auto held = heldBytes(orderId, productId, currencyCode);
    enqueue("realCurrencyPayment(_:_:_:_:)", held,
            [orderId = std::move(orderId), price, productId = std::move(productId),
             currencyCode = std::move(currencyCode)](AnalyticsProtocol& logic) mutable {
                repair(orderId);
                repair(productId);
                repair(currencyCode);
                auto valid = ValidatorRules::validateRealCurrencyPayment(orderId, price, productId,
                                                                         currencyCode);
                if (!valid || Validator::isExcluded("rp", std::nullopt)) {
                    return;
                }
                logic.realCurrencyPayment(valid->orderId, valid->price, valid->productId,
                                          valid->currencyCode);
            });
}

void AnalyticsProxy::subscriptionHistory(std::vector<MVKStoreTransaction> transactions) {
    const auto held = heldBytes(transactions);
    enqueue("subscriptionHistory(_:)", held,
            [transactions = std::move(transactions)](AnalyticsProtocol& logic) mutable {
                for (auto& transaction : transactions) {
                    repair(transaction);
                }
                if (Validator::isExcluded("sbsr", std::nullopt)) {
                    return;
                }
                logic.subscriptionHistory(transactions);
            });
}

void AnalyticsProxy::subscriptionHistory(TransactionHistory history) {
    const auto held = heldBytes(history);
    enqueue("subscriptionHistory(_:)", held,
            [history = std::move(history)](AnalyticsProtocol& logic) mutable {
                for (auto& [productId, transactionIds] : history) {
                    repair(productId);
                    for (auto& id : transactionIds) {
                        repair(id);
                    }
                }
                if (Validator::isExcluded("sbsr", std::nullopt)) {
                    return;
                }
                logic.subscriptionHistory(history);
            });
}

void AnalyticsProxy::subscriptionPayment(MVKStoreTransaction transaction, MVKStoreProduct product) {
    const auto held = heldBytes(transaction, product);
    enqueue("subscriptionPayment(_:_:)", held,
            [transaction = std::move(transaction),
             product = std::move(product)](AnalyticsProtocol& logic) mutable {
                repair(transaction);
                repair(product);
                if (Validator::isExcluded("sbs", std::nullopt)) {
                    return;
                }
                logic.subscriptionPayment(transaction, product);
            });
}

void AnalyticsProxy::subscriptionPayment(std::string productId, std::string transactionId) {
    const auto held = heldBytes(productId, transactionId);
    enqueue("subscriptionPayment(_:_:)", held,
            [productId = std::move(productId),
             transactionId = std::move(transactionId)](AnalyticsProtocol& logic) mutable {
                repair(productId);
                repair(transactionId);
                // An excluded payment is dropped before validation can write about it.
                if (Validator::isExcluded("sbs", std::nullopt)) {
                    return;
                }
                auto valid = ValidatorRules::validateSubscriptionPayment(productId, transactionId);
                if (!valid) {
                    return;
                }
                logic.subscriptionPayment(valid->productId, valid->transactionId);
            });
}

void AnalyticsProxy::tutorial(std::int64_t step) {
    enqueue("tutorial(_:)", heldBytes(), [step](AnalyticsProtocol& logic) {
        if (!Validator::inInterval<std::int64_t>("Tutorial", "The step argument value", step, -2,
                                                 2147483647)) {
            ValidatorRules::notifyThatMethodExecutionWasCanceled("Tutorial");
            return;
        }
        if (Validator::isExcluded("tr", AnyCodable(step))) {
            return;
        }
        logic.tutorial(step);
    });
}

void AnalyticsProxy::socialNetworkConnect(MVKSocialNetworkLocal network) {
    const auto held = heldBytes(network);
    enqueue("socialNetworkConnect(_:)", held,
            [network = std::move(network)](AnalyticsProtocol& logic) mutable {
                repair(network.name);
                auto name = ValidatorRules::validateSocialNetworkConnect(network);
                if (!name || Validator::isExcluded("sc", AnyCodable(*name))) {
                    return;
                }
                logic.socialNetworkConnect(MVKSocialNetworkLocal{.name = std::move(*name)});
            });
}

void AnalyticsProxy::socialNetworkPost(MVKSocialNetworkLocal network, std::string reason) {
    const auto held = heldBytes(network, reason);
    enqueue("socialNetworkPost(_:_:)", held,
            [network = std::move(network),
             reason = std::move(reason)](AnalyticsProtocol& logic) mutable {
                repair(network.name);
                repair(reason);
                auto valid = ValidatorRules::validateSocialNetworkPost(network, reason);
                if (!valid || Validator::isExcluded("sp", AnyCodable(valid->name))) {
                    return;
                }
                logic.socialNetworkPost(MVKSocialNetworkLocal{.name = valid->name}, valid->reason);
            });
}

void AnalyticsProxy::referrer(ReferralData data) {
    const auto held = heldBytes(data);
    enqueue("referrer(_:)", held, [data = std::move(data)](AnalyticsProtocol& logic) mutable {
        // The property names were repaired when the host made them.
        for (auto& [property, value] : data) {
            repair(value);
        }
        auto valid = ValidatorRules::validateReferrer(data);
        if (!valid || Validator::isExcluded("rf", std::nullopt)) {
            return;
        }
        logic.referrer(*valid);
    });
}

void AnalyticsProxy::sendBufferedEvents() {
    // It packs and sends what earlier calls stored (the card's changes
    // among them): nothing of its own is lost with the process.
    enqueueStoringNothing("sendBufferedEvents()", heldBytes(),
                          [](AnalyticsProtocol& logic) { logic.sendBufferedEvents(); });
}

void AnalyticsProxy::adImpression(std::string network, double revenue,
                                  std::optional<std::string> placement,
                                  std::optional<std::string> unit) {
    const auto held = heldBytes(network, placement, unit);
    enqueue("adImpression(_:_:_:_:)", held,
            [network = std::move(network), revenue, placement = std::move(placement),
             unit = std::move(unit)](AnalyticsProtocol& logic) mutable {
                repair(network);
                repair(placement);
                repair(unit);
                auto valid =
                    ValidatorRules::validateAdImpression(network, revenue, placement, unit);
                if (!valid || Validator::isExcluded("adrv", std::nullopt)) {
                    return;
                }
                logic.adImpression(valid->network, valid->revenue, valid->placement, valid->unit);
            });
}

}  // namespace mvk
