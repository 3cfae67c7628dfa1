#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mvk/MVKStoreProduct.hpp"

namespace mvk {

/// Hears the store's answers to the products requests it made, on the queue
/// it named, each tagged with the id it gave the request.
class ProductsRequestObserverProtocol {
  public:
    virtual ~ProductsRequestObserverProtocol() = default;

    virtual void productsRequestDidReceive(std::uint64_t requestId,
                                           std::vector<MVKStoreProduct> products) = 0;
    virtual void productsRequestDidFinish(std::uint64_t requestId) = 0;
    virtual void productsRequestDidFail(std::uint64_t requestId, std::string errorDescription) = 0;
};

}  // namespace mvk
