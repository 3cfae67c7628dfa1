#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mvk/MVKStore.hpp"
#include "platform/DelayedSchedulerProtocol.hpp"
#include "platform/ProductsRequestObserverProtocol.hpp"
#include "platform/SerialQueue.hpp"
#include "purchases/SubscriptionRepositoryProtocol.hpp"
#include "services/SubscriptionServiceProtocol.hpp"
#include "state/StateManagerProtocol.hpp"
#include "storage/OwnedRows.hpp"

namespace mvk {

/// Asks the host's store for the configured subscription products and keeps
/// the project's subscription state.
///
/// One products request at a time: the kept request, the pending retry and
/// the callback belong to the income queue, where the store's answers arrive
/// too (tagged with their request). An answer from a request that is no
/// longer the kept one is still handed on, but neither cancels nor clears the
/// kept one, and its failure is not retried. A failure of the kept request is
/// retried after 60, 120, 180 and then 240 seconds; at most one retry waits,
/// and a new request cancels it.
///
/// Hold it in a `std::shared_ptr`: the store's answers and the retry hold it
/// weakly and do nothing once it is gone; its destructor cancels the retry.
class SubscriptionService final : public SubscriptionServiceProtocol,
                                  public ProductsRequestObserverProtocol,
                                  public std::enable_shared_from_this<SubscriptionService> {
  public:
    static constexpr std::int64_t maximumRequestAttempt = 4;

    /// The queue must outlive the service and every request it made.
    SubscriptionService(std::shared_ptr<StateManagerProtocol> stateManager,
                        std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository,
                        std::shared_ptr<MVKStore> store, SerialQueue& incomeQueue,
                        std::shared_ptr<DelayedSchedulerProtocol> scheduler,
                        std::int64_t requestAttempt = 1, std::int64_t requestTimeout = 60);
    ~SubscriptionService() override;

    SubscriptionService(const SubscriptionService&) = delete;
    SubscriptionService& operator=(const SubscriptionService&) = delete;

    bool needSendProducts() override;
    void setProductList(std::vector<std::string> productList) override;
    void resetSendProductsMark() override;
    bool isNeedRestoreHistory() override;
    bool isNeedSendRestoredHistory() override;
    void markAsRestoredHistory() override;
    void markAsSendRestoredHistory() override;
    bool isHistoryNeedReset(const Config& newConfig) override;
    void resetHistoryMark() override;
    void clearSubscriptionHistory() override;
    void requestUserProducts(RequestProductsCallback requestProductsCallback) override;
    PreparedTransactions prepareTransactions(
        const std::vector<MVKStoreTransaction>& transactions) override;
    void processTransactions(const PreparedTransactions& transactions) override;
    std::optional<SBSREventData> getDataForSBSREvent() override;
    void updateProducts(const std::vector<SubscriptionProduct>& products) override;
    bool checkIfContains(const SubscriptionProduct& product) override;
    std::optional<std::vector<std::string>> getProductList() override { return productList_; }
    std::optional<SubscriptionProduct> findLocalProduct(const std::string& productId) override;
    std::optional<std::string> findRegionCode() override { return std::nullopt; }

    // ProductsRequestObserverProtocol, on the income queue.
    void productsRequestDidReceive(std::uint64_t requestId,
                                   std::vector<MVKStoreProduct> products) override;
    void productsRequestDidFinish(std::uint64_t requestId) override;
    void productsRequestDidFail(std::uint64_t requestId, std::string errorDescription) override;

    /// The store's product as the events carry it: a price locale without
    /// codes gives the region of its name and the currency of its
    /// "@currency=" keyword, else "". Nothing for a price that is not finite.
    static std::optional<SubscriptionProduct> makeProduct(const MVKStoreProduct& product);

  private:
    /// The active project's record, found or made.
    std::shared_ptr<SubscriptionInfo> currentSubInfo();
    void save(const std::shared_ptr<SubscriptionInfo>& info);
    template <class Change>
    void change(Change change);

    bool hasProductList() const;
    /// Starts a request for `productList_`, replacing the kept one.
    void requestProducts();
    /// Cancels and forgets the kept request.
    void releaseProductRequest();
    void scheduleRetry();
    void cancelRetry();
    void retry(std::uint64_t retryId);

    const std::shared_ptr<StateManagerProtocol> stateManager_;
    const std::shared_ptr<SubscriptionRepositoryProtocol> subscriptionRepository_;
    const std::shared_ptr<MVKStore> store_;
    SerialQueue& incomeQueue_;
    const std::shared_ptr<DelayedSchedulerProtocol> scheduler_;
    OwnedRows<SubscriptionInfo> records_;

    std::shared_ptr<MVKStoreProductsRequest> productRequest_;
    /// The id given to `productRequest_`; 0 while none is kept.
    std::uint64_t productRequestId_ = 0;
    std::uint64_t lastRequestId_ = 0;
    std::optional<std::vector<std::string>> productList_;
    RequestProductsCallback requestProductsCallback_;
    std::int64_t requestAttempt_;
    const std::int64_t requestTimeout_;
    std::shared_ptr<ScheduledWorkProtocol> retryTask_;
    /// The id of the waiting retry; 0 while none waits. A retry whose hop to
    /// the income queue was already queued when it was cancelled finds its id
    /// gone.
    std::uint64_t retryId_ = 0;
    std::uint64_t lastRetryId_ = 0;
};

}  // namespace mvk
