#include "purchases/SubscriptionService.hpp"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "events/EventRecord.hpp"
#include "foundation/Logger.hpp"
#include "platform/GuardedCall.hpp"
#include "platform/LocaleName.hpp"
#include "platform/StoreRequestDelegate.hpp"

namespace mvk {

namespace {

void logDebug(const std::string& message) {
    Logger::writeLog(MVKLogLevel::debug, message);
}

const char* const emptyListLine = "Product list is empty";

std::optional<std::string> nonEmpty(const std::optional<std::string>& text) {
    return text && !text->empty() ? text : std::nullopt;
}

bool allFinite(const MVKStoreProduct& product) {
    return std::isfinite(product.price) &&
           (!product.introductoryPrice || std::isfinite(*product.introductoryPrice)) &&
           std::all_of(product.discounts.begin(), product.discounts.end(),
                       [](const auto& discount) { return std::isfinite(discount.price); });
}

/// Values one product takes in an event besides its discounts: the object,
/// its five members and the discounts object.
constexpr std::size_t productValues = 7;
/// Values one restored product takes besides its ids: the object, its id and
/// the ids array.
constexpr std::size_t restoredProductValues = 3;

/// The line of a host's collection cut to what one event may take.
void logCut(std::string_view method, std::string_view what, std::size_t values) {
    Logger::writeLog(MVKLogLevel::warning,
                     "In the " + std::string(method) + " method an error has occurred:\n\t" +
                         std::string(what) + " take [" + std::to_string(values) +
                         "] values, more than the [" + std::to_string(EventRecord::maxHostValues) +
                         "] one event may hold.\n\tOnly the first are kept!");
}

/// The restored transactions cut, in order, to what one event may take.
SubscriptionService::PreparedTransactions bounded(
    const SubscriptionService::PreparedTransactions& transactions) {
    SubscriptionService::PreparedTransactions kept;
    std::size_t values = 0;
    for (const auto& [productId, ids] : transactions) {
        values += restoredProductValues + ids.size();
    }
    if (values <= EventRecord::maxHostValues) {
        return transactions;
    }
    logCut("subscriptionHistory(_:)", "The restored transactions", values);
    std::size_t room = EventRecord::maxHostValues;
    for (const auto& [productId, ids] : transactions) {
        if (room <= restoredProductValues) {
            break;
        }
        const auto taken = std::min(ids.size(), room - restoredProductValues);
        kept.emplace_back(
            productId, std::vector<std::string>(ids.begin(),
                                                ids.begin() + static_cast<std::ptrdiff_t>(taken)));
        room -= restoredProductValues + taken;
    }
    return kept;
}

}  // namespace

SubscriptionService::SubscriptionService(
    std::shared_ptr<StateManagerProtocol> stateManager,
    std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository,
    std::shared_ptr<MVKStore> store, SerialQueue& incomeQueue,
    std::shared_ptr<DelayedSchedulerProtocol> scheduler, std::int64_t requestAttempt,
    std::int64_t requestTimeout)
    : stateManager_(std::move(stateManager)),
      subscriptionRepository_(std::move(subscriptionRepository)),
      store_(std::move(store)),
      incomeQueue_(incomeQueue),
      scheduler_(std::move(scheduler)),
      records_(subscriptionRepository_, &SubscriptionInfo::projectId),
      requestAttempt_(std::clamp<std::int64_t>(requestAttempt, 1, maximumRequestAttempt)),
      // A step below a second would let a failing store spin the retries.
      requestTimeout_(std::max<std::int64_t>(requestTimeout, 1)) {}

SubscriptionService::~SubscriptionService() {
    cancelRetry();
    releaseProductRequest();
}

std::shared_ptr<SubscriptionInfo> SubscriptionService::currentSubInfo() {
    return records_.rowOf(stateManager_->getActiveProject()->idKey);
}

void SubscriptionService::save(const std::shared_ptr<SubscriptionInfo>& info) {
    records_.save(info);
}

template <class Change>
void SubscriptionService::change(Change change) {
    auto info = currentSubInfo();
    change(*info);
    save(info);
}

bool SubscriptionService::needSendProducts() {
    return currentSubInfo()->productIsChanged;
}

void SubscriptionService::setProductList(std::vector<std::string> productList) {
    productList_ = std::move(productList);
}

void SubscriptionService::resetSendProductsMark() {
    change([](SubscriptionInfo& info) { info.productIsChanged = false; });
}

bool SubscriptionService::isNeedRestoreHistory() {
    return !currentSubInfo()->alreadyRestored;
}

bool SubscriptionService::isNeedSendRestoredHistory() {
    return !currentSubInfo()->alreadySendRestoreEvent;
}

void SubscriptionService::markAsRestoredHistory() {
    change([](SubscriptionInfo& info) { info.alreadyRestored = true; });
}

void SubscriptionService::markAsSendRestoredHistory() {
    change([](SubscriptionInfo& info) { info.alreadySendRestoreEvent = true; });
}

bool SubscriptionService::isHistoryNeedReset(const Config& newConfig) {
    const auto stored = stateManager_->getActiveProject()->configuration.sbsConfigVersion;
    const auto received = newConfig.sbsConfigVersion;
    return stored && received && *stored != 0 && *received != 0 && *stored != *received;
}

void SubscriptionService::resetHistoryMark() {
    change([](SubscriptionInfo& info) {
        info.alreadyRestored = false;
        info.alreadySendRestoreEvent = false;
    });
}

void SubscriptionService::clearSubscriptionHistory() {
    change([](SubscriptionInfo& info) { info.restoredTransaction.clear(); });
}

SubscriptionService::PreparedTransactions SubscriptionService::prepareTransactions(
    const std::vector<MVKStoreTransaction>& transactions) {
    PreparedTransactions prepared;
    // Found through indexes: a host's history may be long, and a search per
    // transaction would cost the square of it.
    std::unordered_map<std::string, std::size_t> products;
    std::vector<std::unordered_set<std::string>> seen;
    for (const auto& transaction : transactions) {
        if (!transaction.originalTransactionIdentifier) {
            continue;
        }
        const auto& id = *transaction.originalTransactionIdentifier;
        const auto [entry, added] =
            products.try_emplace(transaction.productIdentifier, prepared.size());
        if (added) {
            prepared.emplace_back(transaction.productIdentifier, std::vector<std::string>{});
            seen.emplace_back();
        }
        if (seen[entry->second].insert(id).second) {
            prepared[entry->second].second.push_back(id);
        }
    }
    return prepared;
}

void SubscriptionService::processTransactions(const PreparedTransactions& transactions) {
    const auto kept = bounded(transactions);
    change([&](SubscriptionInfo& info) {
        info.restoredTransaction.clear();
        for (const auto& [productId, ids] : kept) {
            info.restoredTransaction.push_back(RestoredTransaction{productId, ids});
        }
    });
}

std::optional<SBSREventData> SubscriptionService::getDataForSBSREvent() {
    const auto info = currentSubInfo();
    if (info->restoredTransaction.empty()) {
        return std::nullopt;
    }
    SBSREventData data{info->restoredTransaction, std::nullopt};
    if (!info->products.empty()) {
        data.currencyCode = info->products.front().currencyCode;
    }
    return data;
}

void SubscriptionService::updateProducts(const std::vector<SubscriptionProduct>& products) {
    auto info = currentSubInfo();
    const bool equal =
        std::equal(products.begin(), products.end(), info->products.begin(), info->products.end());
    info->productIsChanged = !equal;
    if (!equal) {
        info->products = products;
    }
    save(info);

    if (!productList_) {
        return;
    }
    std::string missing;
    for (const auto& id : *productList_) {
        const bool answered =
            std::any_of(products.begin(), products.end(),
                        [&](const auto& product) { return product.productId == id; });
        if (!answered) {
            missing += missing.empty() ? id : ",\n\t\t" + id;
        }
    }
    if (!missing.empty()) {
        logDebug("Not found any products for list: \n\t\t" + missing);
    }
}

bool SubscriptionService::checkIfContains(const SubscriptionProduct& product) {
    auto info = currentSubInfo();
    if (std::find(info->products.begin(), info->products.end(), product) != info->products.end()) {
        return true;
    }
    info->products.push_back(product);
    return false;
}

std::optional<SubscriptionProduct> SubscriptionService::findLocalProduct(
    const std::string& productId) {
    const auto info = currentSubInfo();
    auto found = std::find_if(info->products.begin(), info->products.end(),
                              [&](const auto& product) { return product.productId == productId; });
    return found != info->products.end() ? std::optional(*found) : std::nullopt;
}

std::optional<SubscriptionProduct> SubscriptionService::makeProduct(
    const MVKStoreProduct& product) {
    if (!allFinite(product)) {
        return std::nullopt;
    }
    const auto& locale = product.priceLocale;
    const auto named = LocaleName::parse(locale.identifier);
    SubscriptionProduct made;
    made.productId = product.productIdentifier;
    made.price = product.price;
    made.regionCode = nonEmpty(locale.regionCode).value_or(named.region());
    made.currencyCode = nonEmpty(locale.currencyCode).value_or(named.currency());
    made.introductoryPrice = product.introductoryPrice;
    std::map<std::string, double> discounts;
    for (const auto& discount : product.discounts) {
        if (discounts.size() + productValues >= EventRecord::maxHostValues) {
            logCut("subscriptionPayment(_:_:)", "The discounts of a product",
                   product.discounts.size() + productValues);
            break;
        }
        if (discount.identifier) {
            discounts.insert_or_assign(*discount.identifier, discount.price);
        }
    }
    if (!discounts.empty()) {
        made.discounts = std::move(discounts);
    }
    return made;
}

// Requests

bool SubscriptionService::hasProductList() const {
    return productList_ && !productList_->empty();
}

void SubscriptionService::requestUserProducts(RequestProductsCallback requestProductsCallback) {
    cancelRetry();
    if (!hasProductList()) {
        logDebug(emptyListLine);
        return;
    }
    requestProductsCallback_ = std::move(requestProductsCallback);
    requestProducts();
}

void SubscriptionService::requestProducts() {
    const auto id = ++lastRequestId_;
    auto delegate = std::make_shared<StoreRequestDelegate>(weak_from_this(), incomeQueue_, id);
    const std::set<std::string> identifiers(productList_->begin(), productList_->end());
    std::shared_ptr<MVKStoreProductsRequest> request;
    callGuarded("makeProductsRequest",
                [&] { request = store_->makeProductsRequest(identifiers, std::move(delegate)); });
    // Kept before it starts: a store may answer inside `start`.
    releaseProductRequest();
    if (!request) {
        logDebug("The store made no products request");
        return;
    }
    productRequest_ = request;
    productRequestId_ = id;
    callGuarded("start", [&] { request->start(); });
}

void SubscriptionService::releaseProductRequest() {
    auto request = std::exchange(productRequest_, nullptr);
    productRequestId_ = 0;
    if (request) {
        callGuarded("cancel", [&] { request->cancel(); });
    }
}

void SubscriptionService::productsRequestDidReceive(std::uint64_t requestId,
                                                    std::vector<MVKStoreProduct> products) {
    if (!hasProductList()) {
        logDebug(emptyListLine);
        return;
    }
    std::vector<SubscriptionProduct> answered;
    // What the products event will hold, kept within what one event may take.
    std::size_t values = 0;
    for (const auto& product : products) {
        if (std::find(productList_->begin(), productList_->end(), product.productIdentifier) ==
            productList_->end()) {
            continue;
        }
        if (auto made = makeProduct(product)) {
            const auto cost = productValues + (made->discounts ? made->discounts->size() : 0);
            if (values + cost > EventRecord::maxHostValues) {
                logCut("requestProducts", "The store's products", values + cost);
                break;
            }
            values += cost;
            answered.push_back(std::move(*made));
        } else {
            Logger::writeLog(MVKLogLevel::warning, "The store's product [" +
                                                       product.productIdentifier +
                                                       "] has a price that is not a number");
        }
    }
    if (requestId == productRequestId_) {
        releaseProductRequest();
    }
    if (auto callback = requestProductsCallback_) {
        callback(std::move(answered));
    } else {
        logDebug("Request products callback is lose");
    }
}

void SubscriptionService::productsRequestDidFinish(std::uint64_t requestId) {
    logDebug("SKProductsRequest did finish");
    if (requestId == productRequestId_) {
        releaseProductRequest();
    }
}

void SubscriptionService::productsRequestDidFail(std::uint64_t requestId,
                                                 std::string errorDescription) {
    logDebug("Request products failed with error: " + errorDescription);
    if (requestId != productRequestId_) {
        return;
    }
    releaseProductRequest();
    scheduleRetry();
}

void SubscriptionService::scheduleRetry() {
    cancelRetry();
    const auto delaySeconds = requestAttempt_ * requestTimeout_;
    logDebug("Retry request products after " + std::to_string(delaySeconds) + " seconds");
    const auto id = ++lastRetryId_;
    retryId_ = id;
    retryTask_ = scheduler_->schedule(std::chrono::seconds(delaySeconds),
                                      [weak = weak_from_this(), queue = &incomeQueue_, id] {
                                          queue->addOperation([weak, id] {
                                              if (auto self = weak.lock()) {
                                                  self->retry(id);
                                              }
                                          });
                                      });
    requestAttempt_ = std::min(requestAttempt_ + 1, maximumRequestAttempt);
}

void SubscriptionService::cancelRetry() {
    retryId_ = 0;
    if (auto task = std::exchange(retryTask_, nullptr)) {
        task->cancel();
    }
}

void SubscriptionService::retry(std::uint64_t retryId) {
    if (retryId != retryId_) {
        return;
    }
    retryId_ = 0;
    retryTask_.reset();
    if (!hasProductList()) {
        logDebug(emptyListLine);
        return;
    }
    requestProducts();
}

}  // namespace mvk
