#pragma once

#include <cstdint>
#include <memory>

#include "mvk/MVKStoreProductsRequestDelegate.hpp"
#include "platform/ProductsRequestObserverProtocol.hpp"
#include "platform/SerialQueue.hpp"

namespace mvk {

/// The delegate the library gives the store with each request. The store may
/// call it on any thread, inside `start`, twice, or after the core is gone,
/// so it only queues the news for the observer: it takes none of the
/// observer's locks, never waits, and holds the observer weakly, so a late
/// answer finds nobody and does nothing.
class StoreRequestDelegate final : public MVKStoreProductsRequestDelegate {
  public:
    /// `queue` must outlive the delegate's callers (the income queue lives
    /// for the whole process).
    StoreRequestDelegate(std::weak_ptr<ProductsRequestObserverProtocol> observer,
                         SerialQueue& queue, std::uint64_t requestId);

    void didReceiveProducts(std::vector<MVKStoreProduct> products) override;
    void didFinish() override;
    void didFail(std::string errorDescription) override;

  private:
    template <class Step>
    void relay(const char* context, Step step) noexcept;

    const std::weak_ptr<ProductsRequestObserverProtocol> observer_;
    SerialQueue& queue_;
    const std::uint64_t requestId_;
};

}  // namespace mvk
