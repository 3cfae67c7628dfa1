#include "platform/StoreRequestDelegate.hpp"

#include <utility>

#include "platform/GuardedCall.hpp"

namespace mvk {

StoreRequestDelegate::StoreRequestDelegate(std::weak_ptr<ProductsRequestObserverProtocol> observer,
                                           SerialQueue& queue, std::uint64_t requestId)
    : observer_(std::move(observer)), queue_(queue), requestId_(requestId) {}

template <class Step>
void StoreRequestDelegate::relay(const char* context, Step step) noexcept {
    // Runs on the store's thread: nothing may escape into the host's code.
    callGuarded(context, [&] {
        queue_.addOperation([observer = observer_, id = requestId_, step = std::move(step)] {
            if (auto alive = observer.lock()) {
                step(*alive, id);
            }
        });
    });
}

void StoreRequestDelegate::didReceiveProducts(std::vector<MVKStoreProduct> products) {
    relay("didReceiveProducts", [products = std::move(products)](
                                    ProductsRequestObserverProtocol& observer, std::uint64_t id) {
        observer.productsRequestDidReceive(id, products);
    });
}

void StoreRequestDelegate::didFinish() {
    relay("didFinish", [](ProductsRequestObserverProtocol& observer, std::uint64_t id) {
        observer.productsRequestDidFinish(id);
    });
}

void StoreRequestDelegate::didFail(std::string errorDescription) {
    relay("didFail", [errorDescription = std::move(errorDescription)](
                         ProductsRequestObserverProtocol& observer, std::uint64_t id) {
        observer.productsRequestDidFail(id, errorDescription);
    });
}

}  // namespace mvk
