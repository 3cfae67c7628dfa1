#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/Config.hpp"
#include "events/SubscriptionProduct.hpp"
#include "mvk/MVKStoreTransaction.hpp"
#include "records/SBSREventData.hpp"

namespace mvk {

/// The project's subscription products as the store offers them, and its
/// stored subscription state (one row of "subscriptions" per project) with the
/// flags that decide when the products and restored-history events are sent.
/// Every member runs on the income queue.
class SubscriptionServiceProtocol {
  public:
    /// The products answered for the configured list, in answer order.
    using RequestProductsCallback =
        std::function<void(std::optional<std::vector<SubscriptionProduct>>)>;
    /// Product identifier to its distinct transaction ids, products in the
    /// order they were first seen.
    using PreparedTransactions = std::vector<std::pair<std::string, std::vector<std::string>>>;

    virtual ~SubscriptionServiceProtocol() = default;

    /// The last answer differed from the stored products and is not sent yet.
    virtual bool needSendProducts() = 0;
    virtual void setProductList(std::vector<std::string> productList) = 0;
    virtual void resetSendProductsMark() = 0;
    virtual bool isNeedRestoreHistory() = 0;
    virtual bool isNeedSendRestoredHistory() = 0;
    virtual void markAsRestoredHistory() = 0;
    virtual void markAsSendRestoredHistory() = 0;
    /// Both subscription configuration versions present, non-zero and different.
    virtual bool isHistoryNeedReset(const Config& newConfig) = 0;
    virtual void resetHistoryMark() = 0;
    virtual void clearSubscriptionHistory() = 0;

    /// Asks the store for the configured products; the answer goes to the
    /// callback, kept until the next call. The callback should hold its owner
    /// weakly: the service keeps it for its whole life.
    virtual void requestUserProducts(RequestProductsCallback requestProductsCallback) = 0;

    /// The original transaction ids per product; transactions without an
    /// original transaction id are left out.
    virtual PreparedTransactions prepareTransactions(
        const std::vector<MVKStoreTransaction>& transactions) = 0;
    /// Stores the history to be sent, one entry per product, in order.
    virtual void processTransactions(const PreparedTransactions& transactions) = 0;
    /// Nothing while no history is stored.
    virtual std::optional<SBSREventData> getDataForSBSREvent() = 0;

    /// Stores the answered products when they differ from the stored ones
    /// and marks them to be sent.
    virtual void updateProducts(const std::vector<SubscriptionProduct>& products) = 0;
    /// Whether an equal product is stored; if not, it is added to the record
    /// in memory (the next save writes it).
    virtual bool checkIfContains(const SubscriptionProduct& product) = 0;
    virtual std::optional<std::vector<std::string>> getProductList() = 0;
    virtual std::optional<SubscriptionProduct> findLocalProduct(const std::string& productId) = 0;
    /// No store here tells the account's region: always nothing.
    virtual std::optional<std::string> findRegionCode() = 0;
};

}  // namespace mvk
